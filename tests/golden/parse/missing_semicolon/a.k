class A {
    int f() {
        return 1
    }
};
