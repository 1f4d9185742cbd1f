// Two classes of one name: the second is reported once, however many
// cycles the declaration pass runs.
class A { // expect warning 324: 已定义但不使用的对象.
};
class A { // expect error: 相同命名的对象已存在
};
class B : C { // expect warning 324: 已定义但不使用的对象.
};
class C {
};
