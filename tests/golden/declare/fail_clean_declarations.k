// Declarations that need later cycles but report nothing: a base and a
// field type declared further down, a nested class deriving from a class of
// an outer scope, two blocks of one package. Only the missing entry (and
// the classes never used) are reported.
class Derived : Base { // expect warning 324: 已定义但不使用的对象.
    Later later;
    class Inner : Base {
    };
};
class Base {
};
class Later { // expect warning 324: 已定义但不使用的对象.
};
package p {
    class First {
    };
};
package p {
    class Second : First {
    };
};
