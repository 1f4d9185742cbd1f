// Member declarations: each rule's message at its node.
class T { // expect warning 324: 已定义但不使用的对象.
};
class M { // expect warning 324: 已定义但不使用的对象.
    f() { // expect error: 方法不是构造函数, 需要返回类型 // expect warning 324: 已定义但不使用的对象.
    }
    T M() { // expect error: 构造函数无需返回值 // expect warning 324: 已定义但不使用的对象.
    }
    T twice(T x, T x) { // expect error: 相同命名的参数已存在 // expect warning 324: 已定义但不使用的对象.
        return x;
    }
    Missing g() { // expect error: 未知的类型--> Missing - 是否可能指下列对象 ? // expect warning 324: 已定义但不使用的对象.
    }
    T h(Unknown u) { // expect error: 未知的类型--> Unknown - 是否可能指下列对象 ? // expect warning 324: 已定义但不使用的对象.
        return nilptr;
    }
    Missing field; // expect error: 未知的类型--> Missing - 是否可能指下列对象 ?
    T later;
    L again;
    T t() throws Nope { // expect error: 未知的返回值类型 // expect warning 324: 已定义但不使用的对象.
        return nilptr;
    }
};
class L { // expect warning 324: 已定义但不使用的对象.
};
enum E { // expect warning 324: 已定义但不使用的对象.
    a,
    b,
    a // expect error: 相同命名的对象已存在
};
