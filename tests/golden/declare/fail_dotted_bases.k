// A nested class named through its outer class: one that is not static
// cannot be derived from outside, a private one is not seen.
class Outer { // expect warning 324: 已定义但不使用的对象.
    public class Inner {
    };
    static class Hidden {
    };
};
class FromInner : Outer.Inner { // expect error: 无法扩展对象, 因为对象不是静态类型或接口,或者该对象的作用域受到限制. // expect warning 324: 已定义但不使用的对象.
};
class FromHidden : Outer.Hidden { // expect error: 未知的基类型 // expect warning 324: 已定义但不使用的对象.
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    return 0;
}
