class C {
    C(int a) throws E { }
    C();
    int f(int a) override throws E, F { return a; }
    static final int g() { }
    <T> T h(T t, int) { return t; }
    stdcall int w(int a) { }
    void v();
};
interface I { int f(); static int g(String s) throws E; };
