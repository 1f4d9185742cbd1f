// expect-result: 69525
// Short-circuit conditions skip calls with side effects; ?: chooses whole
// values; comparisons of long, double and bool values; double arithmetic.
int calls = 0;
bool note(bool v) { calls += 1; return v; }
int pick(int a, int b) { int m = a > b ? a : b; return m; }
int main(String[] args) {
    int r = 0;
    if (note(false) && note(true)) r += 1;          // one call
    if (note(true) || note(true)) r += 2;           // one call
    if (!(note(true) && note(false))) r += 4;       // two calls
    int n = 0;
    while (n < 10 && (n < 3 || note(n > 100))) n++; // 0..2 free, at 3 one call stops it
    long big = 1L << 40;
    long small = -(1L << 40);
    if (big > small && big != small + 1) r += 8;
    double d = 2.5;
    double e = d * d - 1.25;                        // 5.0
    e /= 4;                                         // 1.25
    if (e == 1.25 && d > e && -d < e) r += 16;
    bool b = n == 4;                                // false
    bool c = b;
    if (b == c) r += 32;
    int t = b ? 64 : 0;
    r += t;                                         // r = 2 + 4 + 8 + 16 + 32
    r += pick(3, 9) + pick(-2, -7);                 // 9 - 2
    int q = (int)(d * 10);                          // 25
    return r * 1000 + calls * 100 + q;              // 69, 5 calls, 25
}
