class A {
};
