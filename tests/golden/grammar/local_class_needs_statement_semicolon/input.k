void f() {
    class A { };
    a();
}
