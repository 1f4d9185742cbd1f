// expect-result: 4242
// The nearer name wins: a member of an enclosing class over a global of the
// same name, fields and methods alike, at every depth and as an argument; a
// local over the field it shadows, also when it is stepped with ++ and --.
int check(int got, int want, int id) {
    if (got == want) return 0;
    return id;
}
int limit = 7;
int twice(int v) { return v * 100; }
class Shape { public int area() { return 0; } };
class Gate {
    public int limit = 12;
    public int twice(int v) { return v * 2; }
    class Check {
        public int run() { return limit * 1000 + twice(17); }
        public int argument() { return twice(limit); }
        class Deeper {
            public int run() { limit += 1; return limit * 1000 + twice(5); }
        };
        public int deep() { Deeper d = new Deeper(); return d.run(); }
    };
    public int go() { Check c = new Check(); return c.run() * 100 + c.argument(); }
    public int deep() { Check c = new Check(); return c.deep(); }
    public int shape() {
        Shape s = new Shape() { public int area() override { return limit + twice(1); } };
        return s.area();
    }
};
class Acc {
    public int total = 100;
    public int steps() {
        int total = 0;
        total++;
        ++total;
        int seen = total++ * 10;
        total--;
        return seen + total;
    }
};
int main(String[] args) {
    int bad = 0;
    Gate g = new Gate();
    bad += check(g.go(), 1203424, 1);
    bad += check(g.deep(), 13010, 2);
    bad += check(g.limit, 13, 3);
    bad += check(limit + twice(1), 107, 4);
    bad += check(g.shape(), 15, 5);
    Acc a = new Acc();
    bad += check(a.steps(), 22, 6);
    bad += check(a.total, 100, 7);
    if (bad != 0) return bad;
    return 4242;
}
