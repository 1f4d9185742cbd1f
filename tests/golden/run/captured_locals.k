// expect-result: 4242
// An anonymous class reads and writes the locals and parameters of the
// function or method that makes it through its closure, and names the
// members of the class around that method by their simple names; a member
// of the anonymous class hides a captured local of the same name.
int check(int got, int want, int id) {
    if (got == want) return 0;
    return id;
}
class Shape {
    public int area() { return 0; }
    public int more(int v) { return v; }
};
int measure(int k) {
    int side = k + 1;
    long wide = 1000000000L * 3;
    Shape s = new Shape() {
        public int area() override { int a = 7; int b = 9; return side * 10 + k + (int)(wide / 1000000000L) * 0; }
        public int more(int v) override { side += v; k = k * 2; return side * 100 + k; }
    };
    return s.area() * 10000 + s.more(3);
}
class Maker {
    public int scale = 3;
    public int side = 500;
    public int twice(int v) { return v * 2; }
    public int make(int n) {
        int side = n + 1;
        int unused = 4;
        Shape s = new Shape() {
            public int extra = 11;
            public int area() override { int a = 1; return scale * 1000 + side * 10 + n + a - 1; }
            public int more(int v) override { scale += v; return twice(scale) + extra; }
        };
        return s.area() * 100 + s.more(2) + unused * 0;
    }
    public int hidden(int n) {
        int extra = 99;
        Shape s = new Shape() {
            public int extra = 11;
            public int area() override { return extra + n; }
        };
        return s.area() + extra * 0;
    }
    class Part {
        public int w = 6;
        public int make(int n) {
            int local = n * 3;
            Shape s = new Shape() {
                public int area() override { return local + n + w + scale; }
            };
            return s.area();
        }
    };
    public int part(int n) { Part p = new Part(); return p.make(n); }
};
int main(String[] args) {
    int bad = 0;
    bad += check(measure(4), 540808, 1);
    Maker m = new Maker();
    bad += check(m.make(2), 303221, 2);
    bad += check(m.scale, 5, 3);
    bad += check(m.hidden(4), 15, 4);
    bad += check(m.part(2), 19, 5);
    if (bad != 0) return bad;
    return 4242;
}
