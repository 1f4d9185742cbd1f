// expect-result: 27242951
// A class nested in a class reaches its enclosing instance through
// Outer.this and itself through Inner.this; an anonymous class made in a
// method overrides its base's method and reaches, through Outer.this, the
// instance whose method made it.
class Shape { public int area() { return 1; } public int twice() { return area() * 2; } };
class Outer {
    public int k;
    public Outer(int x) { k = x; }
    class Inner {
        public int m;
        public Inner(int y) { m = y; }
        public int sum() { return m * 10 + Outer.this.k + Inner.this.m; }
        public void bump() { Outer.this.k += m; }
    };
    public int make(int y) { Inner i = new Inner(y); i.bump(); return i.sum(); }
    public int shape(int w) {
        Shape s = new Shape() { public int area() override { return Outer.this.k * 100; } };
        k += w;
        return s.twice() + s.area();
    }
};
int main(String[] args) {
    Outer a = new Outer(3);
    Outer b = new Outer(5);
    int r = a.make(4) + b.make(2) * 100;                           // 51 + 2900
    r += (a.shape(1) / 100) * 10000 + (b.shape(2) / 100) * 1000000;  // 24 * 10000 + 27 * 1000000
    return r;
}
