// A type the template's body names but nothing declares is reported once,
// when the queued instance compiles; the template alone reports nothing.
class Box<T> {
    Nothing n; // expect error: 未知的类型--> Nothing - 是否可能指下列对象 ?
    T same(T x) { return x; }
};
class Unused<T> {
    Missing m;
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    return 0;
}
void use(Box<int> a) { } // expect warning 204: 未使用的参数:a // expect warning 324: 已定义但不使用的对象.
