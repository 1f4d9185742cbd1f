// expect-result: 167333
// Arrays made by new with one and two dimensions and by initialisers (all
// constants, computed values, objects), passed to methods that change them.
class P { public int v; public P(int a) { v = a; } };
void scale(int[] a, int by) { for (int i = 0; i < 3; i++) a[i] *= by; }
int total(int[][] m) {
    int s = 0;
    for (int i = 0; i < 3; i++) for (int j = 0; j < 4; j++) s += m[i][j];
    return s;
}
int main(String[] args) {
    int[][] m = new int[3][4];
    for (int i = 0; i < 3; i++) for (int j = 0; j < 4; j++) m[i][j] = i * 10 + j;
    m[2][3] += m[1][2] * 2;                     // 23 + 24
    int[] c = {3, 4, 5};
    scale(c, 3);                                // 9 12 15
    int x = 2;
    long[] l = {x, 3000000000L};
    double[] d = {0.5, 2.25};
    P[] ps = {new P(3), new P(x * 4)};
    ps[1].v += c[2];                            // 23
    // 162000 + 9 + 12 + 3000 + 9 + 3 + 2300
    return total(m) * 1000 + c[0] + c[1] + (int)(l[1] / 1000000) + (int)(d[1] * 4) + ps[0].v + ps[1].v * 100;
}
