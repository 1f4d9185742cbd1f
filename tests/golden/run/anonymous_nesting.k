// expect-result: 4242
// Classes inside anonymous classes: a named class declared in an anonymous
// class's body is found from that class's methods, and a local captured by
// a class further out is read two and three classes in, through the
// enclosing objects to the closure that holds it.
int check(int got, int want, int id) {
    if (got == want) return 0;
    return id;
}
class Task { public int run() { return 0; } };
int partOnly() {
    Task t = new Task() {
        class Part { public int v = 40; public int get() { return v; } };
        public int run() override { Part p = new Part(); return p.get() + 2; }
    };
    return t.run();
}
int twoIn(int base) {
    int extra = 3;
    Task outer = new Task() {
        public int run() override {
            int own = 100;
            Task inner = new Task() { public int run() override { return base + extra + own; } };
            return inner.run();
        }
    };
    return outer.run();
}
int threeIn(int base) {
    Task a = new Task() {
        public int run() override {
            Task b = new Task() {
                public int run() override {
                    Task c = new Task() { public int run() override { return base * 2; } };
                    return c.run() + 1;
                }
            };
            return b.run();
        }
    };
    return a.run();
}
class Maker {
    public int scale = 5;
    public int make(int n) {
        int local = n + 1;
        Task t = new Task() {
            public int bonus = 1000;
            class Part {
                public int get() { return local * 10 + n + scale + bonus; }
            };
            public int run() override { Part p = new Part(); return p.get(); }
        };
        return t.run();
    }
};
int main(String[] args) {
    int bad = 0;
    bad += check(partOnly(), 42, 1);
    bad += check(twoIn(30), 133, 2);
    bad += check(threeIn(8), 17, 3);
    Maker m = new Maker();
    bad += check(m.make(4), 1059, 4);
    if (bad != 0) return bad;
    return 4242;
}
