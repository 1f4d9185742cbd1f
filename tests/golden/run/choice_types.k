// expect-result: 63
// A conditional choice has the wider of two numeric types whichever way
// round they stand, and a class type that takes the other's value.
class Shape { public int sides() { return 0; } };
class Square : Shape { public int sides() override { return 4; } };
long wide(int k) { return k > 0 ? 5000000000L : 7; }
int main(String[] args) {
    int k = 3;
    byte b = 44;
    char c = 'A';
    long v = k > 0 ? 5000000000L : 7;
    long w = k < 0 ? 7 : 5000000000L;
    double d = k > 0 ? 2.5 : 1;
    double e = k < 0 ? 2.5 : 1;
    int i = k > 0 ? 300 : b;
    int j = k < 0 ? 300 : b;
    int m = k > 0 ? c : 70000;
    int n = (k > 0 ? b : c) + 0;
    Square sq = new Square();
    Shape sh = new Shape();
    Shape s1 = k > 0 ? sq : sh;
    Shape s2 = k < 0 ? sh : sq;
    long x = wide(k) + (k > 0 ? 1 : 2L);
    int r = 0;
    if (v == 5000000000L && w == v) r += 1;
    if (x == 5000000001L) r += 2;
    if (d == 2.5 && e == 1.0) r += 4;
    if (i == 300 && j == 44) r += 8;
    if (m == 65 && n == 44) r += 16;
    if (s1.sides() + s2.sides() == 8) r += 32;
    return r;
}
