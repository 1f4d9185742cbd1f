// expect-result: 4242
// A nested class names the members of the classes around it by their simple
// names: fields read, stored, compound-assigned and stepped, and methods
// called, one and two levels out, on the enclosing instance; a static nested
// class reaches the static members; a nearer name hides the same name
// further out (a member of the class itself, a parameter, the nearer
// enclosing class); a class nested beside it is made on the enclosing
// instance.
int check(int got, int want, int id) {
    if (got == want) return 0;
    return id;
}
class Outer {
    public int base = 100;
    public int x = 1;
    public int y = 2;
    public static int shared = 7;
    public static int limit() { return 1000; }
    public int twice(int v) { return v * 2 + base; }
    class Tag {
        public int t = 3;
        public int value() { return t + base; }
    };
    class Inner {
        public int a = 10;
        public int b = 20;
        public int x;
        public int y = 40;
        public Inner(int v) { x = v; }
        public int get() { return base; }
        public void put(int v) { base = v; }
        public void grow(int v) { base += v; base *= 2; }
        public int steps() { base++; ++base; int old = base--; return old * 10 + base - base / 10 * 10; }
        public int call(int v) { return twice(v) + shared; }
        public int own() { return x; }
        public int param(int base) { return base + 1; }
        class Deep {
            public int c = 5;
            public int x = 30;
            public int read() { return base + a + c; }
            public void write(int v) { base = v; b += v; a++; shared -= 1; }
            public int calls() { return twice(c) + get() + limit(); }
            public int near() { return x * 100 + y; }
        };
        public int deep(int v) {
            Deep d = new Deep();
            int r = d.read();
            d.write(v);
            return r * 10000 + d.calls() * 0 + d.near();
        }
        public int deepCalls() { Deep d = new Deep(); return d.calls(); }
        public int sibling() { Tag g = new Tag(); g.t = 4; return g.value(); }
    };
    static class Counter {
        public int n = 3;
        public int total() { shared += n; return shared + limit(); }
    };
    public int run() {
        int bad = 0;
        Inner i = new Inner(9);
        bad += check(i.get(), 100, 1);
        i.put(50);
        bad += check(base, 50, 2);
        i.grow(5);
        bad += check(base, 110, 3);
        bad += check(i.steps(), 1121, 4);
        bad += check(base, 111, 5);
        bad += check(i.call(4), 126, 6);
        bad += check(i.own(), 9, 7);
        bad += check(x, 1, 8);
        bad += check(i.param(3), 4, 9);
        bad += check(i.deep(60), 1263040, 10);
        bad += check(base, 60, 11);
        bad += check(i.b, 80, 12);
        bad += check(i.a, 11, 13);
        bad += check(shared, 6, 14);
        bad += check(i.deepCalls(), 1130, 15);
        Counter k = new Counter();
        bad += check(k.total(), 1009, 16);
        bad += check(shared, 9, 17);
        bad += check(y, 2, 18);
        bad += check(i.sibling(), 64, 19);
        return bad;
    }
};
int main(String[] args) {
    Outer o = new Outer();
    int bad = o.run();
    if (bad != 0) return bad;
    return 4242;
}
