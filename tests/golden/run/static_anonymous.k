// expect-result: 4242
// An anonymous class made in static code is a static class, reached as the
// class itself: made in a static method it keeps the method's parameters
// and locals, and sees the static members of the method's class by their
// simple names.
int check(int got, int want, int id) {
    if (got == want) return 0;
    return id;
}
class Sum { public int of(int n) { return 0; } };
class Util {
    static int bias = 100;
    static int scaled(int v) { return v * 10; }
    public static Sum adder(int k) {
        return new Sum() { public int of(int n) override { return n + k; } };
    }
    public static Sum mixer(int k) {
        int twice = k * 2;
        long wide = 5L;
        Sum s = new Sum() {
            public int of(int n) override { return scaled(n) + twice + (int)wide + bias; }
        };
        bias += 1;
        return s;
    }
    public static class Inner {
        public static Sum chain(int a) {
            Sum first = Util.adder(a);
            return new Sum() { public int of(int n) override { return first.of(n) * 2; } };
        }
    };
};
int main(String[] args) {
    int bad = 0;
    Sum s = Util.adder(3);
    bad += check(s.of(4), 7, 1);
    Sum t = Util.adder(10);
    bad += check(s.of(1) + t.of(1), 15, 2);
    bad += check(Util.mixer(4).of(2), 20 + 8 + 5 + 101, 3);
    bad += check(Util.Inner.chain(5).of(6), 22, 4);
    if (bad != 0) return bad;
    return 4242;
}
