// expect-result: 27487
// Calls as arguments of calls, results kept across calls that clobber eax,
// static and instance calls through objects, and recursion.
class Acc {
    public int total;
    public Acc(int start) { total = start; }
    public int add(int a, int b) { total += a * b; return total; }
    public int twice(int a) { return add(a, 2) - add(0, 0); }
    public static int mix(int a, long b, int c) { return a * 100 + (int)b * 10 + c; }
};
int sq(int a) { return a * a; }
int sub3(int a, int b, int c) { return a - b - c; }
int fib(int n) { if (n < 2) return n; return fib(n - 1) + fib(n - 2); }
int fact(int n) { return n <= 1 ? 1 : n * fact(n - 1); }
int main(String[] args) {
    Acc acc = new Acc(1);
    int a = sq(sq(2)) + sq(3);                 // 25
    int b = sub3(sq(5), sub3(9, 2, 3), sq(2)); // 17
    int c = Acc.mix(sq(2), sq(3), fib(7));     // 400 + 90 + 13 = 503
    int d = acc.add(sq(2), acc.add(1, 3));     // total 4, then 4 + 16 = 20
    int e = acc.twice(fib(5)) + fact(5);       // (30 - 30) + 120
    return a * 1000 + b * 100 + c + d + e + fib(12);  // 25000 + 1700 + 503 + 20 + 120 + 144
}
