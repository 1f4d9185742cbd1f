// Operator overloads whose shape the language refuses.
class T { // expect warning 324: 已定义但不使用的对象.
};
class O { // expect warning 324: 已定义但不使用的对象.
    T operator == (T other) { // expect error: 运算符 <, >, <=, >=, ==, != 的重载方法返回值必须为 bool 类型 // expect warning 324: 已定义但不使用的对象.
        return other;
    }
    T operator && (T other) { // expect error: 不支持重载此操作符 // expect warning 324: 已定义但不使用的对象.
        return other;
    }
    T operator ++ (T a, T b) { // expect error: 后置自增或者自减操作需要一个int参数 // expect warning 324: 已定义但不使用的对象.
        return a;
    }
    T operator [] () { // expect error: [] 操作符至少需要一个参数. // expect warning 324: 已定义但不使用的对象.
        return nilptr;
    }
    T operator [] (T a, T b, T c) { // expect error: [] 操作符至多支持两个参数. // expect warning 324: 已定义但不使用的对象.
        return a;
    }
    T operator . () { // expect error: . 操作符至少需要一个参数. // expect warning 324: 已定义但不使用的对象.
        return nilptr;
    }
    T operator . (T name) { // expect error: . 操作需要一个String参数. // expect warning 324: 已定义但不使用的对象.
        return name;
    }
    T operator ++ () { // expect warning 324: 已定义但不使用的对象.
        return nilptr;
    }
};
