// An anonymous class derives from the class its new-expression names; the
// arguments are compiled after its body, each reported once.
class B { public B(int x) { } }; // expect warning 204: 未使用的参数:x // expect warning 324: 已定义但不使用的对象.
int main(String[] args) { // expect warning 324: 已定义但不使用的对象.
    new Q() { }; // expect error: 未知的基类型 // expect error: 找不到基类型 // expect warning 324: 已定义但不使用的对象.
    new B(missing) { }; // expect error: 未定义的标识符 --> missing - 是否可能指下列对象 ? // expect warning 324: 已定义但不使用的对象.
    return 0;
}
