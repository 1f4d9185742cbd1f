// expect-result: 629105620
// Range loops count from the start to the end value, both included, the
// end read once as the loop begins and the count kept by the machine;
// loops over the elements of arrays of int, long and arrays; break,
// continue and return in them; a range loop in a recursive function; an
// array's length.
int tri(int n) {
    if (n <= 0) return 0;
    int s = 0;
    for (int i = 1 to n) { if (i == n) s += tri(n - 1); else s += 1; }
    return s;
}
int firstOver(int[] a, int limit) {
    for (int v : a) { if (v > limit) return v; }
    return -1;
}
int main(String[] args) {
    int[] a = new int[6];
    for (int i = 0; i < a.length; i++) a[i] = i * i;          // 0 1 4 9 16 25
    int s = 0;
    for (int v : a) { if (v == 4) continue; if (v > 10) break; s += v; }
    int n = 3;
    int t = 0;
    for (int i = 1 to n) { n = 10; t += i; }
    int u = 0;
    for (int i = 2 to 2) u += 100;
    for (int i = 0 to 4) { i = 10; u += 1; }
    long[] big = new long[3];
    big[2] = 5000000000L;
    long lsum = 0;
    for (long w : big) lsum += w;
    int[][] grid = new int[3][4];
    int cells = 0;
    for (int[] row : grid) cells += row.length;
    return s + t * 100 + u * 1000 + firstOver(a, 5) * 1000000 + (int)(lsum / 1000000000) * 100000000
        + cells * 10000000 + tri(5);
}
