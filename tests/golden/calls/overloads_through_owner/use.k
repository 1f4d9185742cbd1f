// Overloads reached through their class and through a value: picked exactly,
// by conversion and among built-in members, in a library whose records carry the identities of the
// objects made after the calls (the inline class).
class A { };
class B : A { };
class C { };
class O {
    public static int m(A a) { return 1; }
    public static int m(C c) { return 2; }
    public int n(A a) { return 3; }
    public int n(B b) { return 4; }
};
class Use {
    public static int run() {
        O o = new O();
        int r = O.m(new A()) + O.m(new B()) + o.n(new B()) + o.n(new A());
        A kept = new B();
        C[][] grid = new C[2][2];
        A inline = new A() {
            int f() { return 5; }
        };
        Class k = o.getClass();
        Method[] ms = k.getMethods();
        return r + o.n(kept) + grid.length + o.n(inline) + ms.length;
    }
};
class Main {
    static int main(String[] args) { return Use.run(); }
};
