class Mixed {
    int n; int[] v;
    int f(int a, int b, int c, int d) {
        int x = a + b * c - d / a % b & c | d ^ a << b >> c, y = -a++ * ~b;
        x = a > > b < c == d != a <= b >= c && a || !b;
        x += (a + b) * (int) c - v[a + 1] / f(a, b - 1, c, d) << this.n;
        y = a ? b + c : d * a ? x : y;
        x = a = b + c;
        x = -n++ + ++n - --a * b-- % (c ? d : a);
        if (a < b && b > c || c << 2 > d) return a * b + c ? d : a;
        for (x = a & b; x < c * d; x += a ^ b) v[x % 16] = x | a;
        switch (a + b * c) { case 1 + 2 * 3: break; default: x = a ? b : c; }
        return a + b * c - d;
    }
};
