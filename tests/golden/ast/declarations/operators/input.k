class C {
    bool operator == (A a) { return true; }
    int operator [ ] (int i) { }
    final int operator >> (int n) override { return n; }
    static int operator ++ () { }
};
interface I { int operator + (int a); };
