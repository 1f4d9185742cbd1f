// expect-result: 993
// Compound assignments, increments and decrements on fields (through this,
// through another object, through a chain) and on elements of int, long,
// double and object arrays; values of assignments used as expressions.
class Cell {
    public int n;
    public long big;
    public double d;
    public Cell next;
    public Cell(int v) { n = v; big = 0; d = 0.5; next = nilptr; }
    public int bump(int by) { n += by; n *= 2; n -= 1; return n++; }
};
int main(String[] args) {
    Cell c = new Cell(3);
    int r = c.bump(2);                  // n: 5, 10, 9; r = 9, n = 10
    c.next = new Cell(7);
    c.next.n += c.n;                    // 17
    c.next.n <<= 2;                     // 68
    c.next.n %= 10;                     // 8
    c.big += 5000000000L;
    c.big /= 3;                         // 1666666666
    c.d *= 9;                           // 4.5
    ++c.n;                              // 11
    int old = c.next.n--;               // old 8, n 7
    int[] a = new int[5];
    for (int i = 0; i < 5; i++) a[i] = i * i;      // 0 1 4 9 16
    a[2] += a[3];                       // 13
    a[4] -= 20;                         // -4
    a[1] *= -7;                         // -7
    a[3] ^= 5;                          // 12
    a[0] |= 6;                          // 6
    a[0] &= 3;                          // 2
    int pre = ++a[2];                   // 14
    int post = a[4]++;                  // -4, a[4] = -3
    long[] l = new long[2];
    l[1] = 1L << 40;
    l[1] >>= 3;
    l[0] = l[1] + 1;
    double[] ds = new double[3];
    ds[1] = 2.25;
    ds[1] *= 4;                         // 9.0
    Cell[] cells = new Cell[2];
    cells[1] = c;
    cells[1].n += 100;                  // c.n = 111
    int x;
    int y = (x = 6) * 2;                // 12
    int sum = r + c.next.n + c.n + old + (int)(c.big % 1000) + (int)(c.d * 2)
            + a[0] + a[1] + a[2] + a[3] + a[4] + pre + post
            + (int)(l[0] >> 30) + (int)ds[1] + x + y;
    return sum;
}
