// expect-result: 1013749177
// Exceptions thrown while arguments are being pushed, from a constructor
// before its object is stored, inside a handler and caught by an inner try
// there, through a finally with no catch; a return in try keeps its value
// when finally changes the variable.
class X : Exception { public int c; public X(int v) { c = v; } };
class Y {
    public int v;
    public Y(int a) throws X { if (a < 0) throw new X(-a); v = a; }
};
int g = 0;
int boom(int a) throws X { if (a > 2) throw new X(a); return a; }
int two(int a, int b) { return a * 10 + b; }
int keep() { int x = 1; try { x = 2; return x; } finally { x = 3; g += 5; } return 0; }
int main(String[] args) {
    int r = 0;
    for (int i = 0; i < 5; i++) {
        try { r += two(boom(i), boom(i + 1)); } catch (X x) { r += x.c * 100; }
    }                                                       // 1 + 12 + 300 + 300 + 400
    int s = 0;
    try { Y y = new Y(4); s += y.v; Y z = new Y(-7); s += z.v; } catch (X x) { s += x.c * 10; }   // 74
    int t = 0;
    try { try { boom(9); } finally { t += 1; } } catch (X x) { t += x.c * 10; }                   // 91
    int u = 0;
    try { boom(5); } catch (X x) { try { boom(x.c + 1); } catch (X y) { u = y.c; } }              // 6
    int k = keep();                                         // 2, g = 5
    return r * 1000000 + s * 10000 + t * 100 + u * 10 + k + g * 3;
}
