// Nested classes named through their outer class, as types, bases and
// template arguments; the iterator of a built-in container written alone.
class Outer {
    public static class Deep {
        public static class Deeper {
        };
    };
};
class FromDeep : Outer.Deep { // expect warning 324: 已定义但不使用的对象.
};
class FromDeeper : Outer.Deep.Deeper { // expect warning 324: 已定义但不使用的对象.
};
class Box<T> {
    T v;
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    return 0;
}
void use(Outer.Deep d, List.Iterator<int> it, Box<Outer.Deep.Deeper> b, Box<List.Iterator<String>> bi, // expect warning 204: 未使用的参数:d // expect warning 204: 未使用的参数:it // expect warning 204: 未使用的参数:b // expect warning 204: 未使用的参数:bi // expect warning 324: 已定义但不使用的对象.
         FromDeep f, FromDeeper g) { } // expect warning 204: 未使用的参数:f // expect warning 204: 未使用的参数:g
