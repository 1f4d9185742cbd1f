// expect-result: 0
// & | ^ and % of two integers have the wider operand's type, at least int,
// whichever side the wider one stands on, and constants fold to the same;
// a shift keeps its left operand's type whatever its count's.
class K {
    public static const long G = 1L << 40;
    public static const int ONE = 1;
    public static const int SEVEN = 7;
};
int main(String[] args) {
    int x = 1;
    int m = 7;
    int minus = -1;
    long g = 1L << 40;
    long big = 5000000000L;
    long mask = (1L << 40) | 255;
    byte b = 200;
    short s = -1;
    int r = 0;
    long z = x | g;
    long w = g | x;
    if (z == g + 1 && w == z) r += 1;
    if ((mask & minus) == mask && (minus & mask) == mask) r += 2;
    if ((x ^ g) == g + 1 && (g ^ x) == g + 1) r += 4;
    // The remainder fits either side; its type shows in what it is joined to.
    long p = (m % big) * 1000000000;
    long q = (big % m) * 1000000000;
    if (p == 7000000000L && q == 5000000000L % 7 * 1000000000L) r += 8;
    long cz = K.ONE | K.G;
    long cw = K.G | K.ONE;
    long cx = 1 ^ (1L << 40);
    long ca = -1 & (1L << 40);
    long cm = (K.SEVEN % 5000000000L) * 1000000000;
    long cn = (5000000000L % K.SEVEN) * 1000000000;
    if (cz == K.G + 1 && cw == cz && cx == cz && ca == K.G && cm == 7000000000L && cn == q) r += 16;
    long sb = s & g;
    long bg = b | g;
    int bs = b & s;
    int sb2 = s ^ b;
    if (sb == g && bg == g + 200 && bs == 200 && sb2 == -201 && (b | b) + (s | s) == 199) r += 32;
    long count = 33;
    long shifted = x << count;
    long wide = g >> x;
    if (shifted == 2 && wide == 1L << 39) r += 64;
    // Assigning to an int is accepted and keeps the low bits.
    int low = 0;
    low = x | g;
    if (low == 1) r += 128;
    return r - 255;
}
