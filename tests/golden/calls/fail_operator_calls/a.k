// Operator methods that take no such operands: each failed call reports why,
// and the operator is given up.
class P {
    public int v;
    public P operator + (P other) { return this; }
    public P operator - (int a, int b) { return this; }
};
class Q {
    public Q operator + (Q a) { return a; }
    public Q operator + (P a) { return this; }
};
class Main {
    static int main(String[] args) {
        P p = new P();
        P q = p + 3;
        P r = p - 2;
        String s = "a" + p;
        int k = p + p + 4;
        String t = "x" + s.nothere() + 1;
        Q z = new Q() + new P() + new Q() + 5;
        return 0;
    }
};
