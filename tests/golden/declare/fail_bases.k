// Base classes that cannot be taken, each at its base node.
class Derived : Nothing { // expect error: 未知的基类型--> Nothing - 是否可能指下列对象 ? // expect warning 324: 已定义但不使用的对象.
};
package pkg { // expect warning 324: 已定义但不使用的对象.
};
class FromPackage : pkg { // expect error: 未知的基类型 // expect warning 324: 已定义但不使用的对象.
};
final class Sealed { // expect warning 324: 已定义但不使用的对象.
};
class FromFinal : Sealed { // expect error: 该类已声明为final,不可被继承 // expect warning 324: 已定义但不使用的对象.
};
class Outer {
    class Inner {
    };
};
class Open : Outer { // expect warning 324: 已定义但不使用的对象.
};
