// expect-result: 110730344
// The machine's own exceptions (a division by zero, an index outside an
// array, a field or a method of nilptr, an element of a nilptr array) are
// caught like thrown ones: by their class, by a base class, by Exception,
// across calls and through finally blocks; a catch of RuntimeException does
// not take a DivByZeroException. Catalogue exception classes are made,
// extended and caught through their bases. A catch variable is found where
// its handler reads it after other locals and a loop, and after handlers
// that never read theirs.
class Node { public int v; public Node next; public Node(int x) { v = x; } public int one() { return 1; } };
class Bad : RuntimeException { public int code; public Bad(int c) { code = c; } };
class Worse : RuntimeError { public Worse() { } };
class Quiet : IOException { };
int log = 0;
int divide(int a, int b) { return a / b; }
int pick(int[] a, int i) {
    try { return a[i]; } finally { log += 1; }
    return -1;
}
int follow(Node n, int steps) {
    int s = 0;
    while (steps > 0) { s += n.v; n = n.next; steps--; }
    return s;
}
int classify(int k) {
    int[] a = new int[3];
    Node n = new Node(4);
    try {
        if (k == 0) return divide(7, k);
        if (k == 1) return pick(a, 5);
        if (k == 2) return follow(n, 2);
        if (k == 3) throw new Bad(9);
        if (k == 4) throw new IllegalArgumentException();
        if (k == 5) throw new Worse();
        if (k == 6) throw new Quiet();
        if (k == 7) { Node none = n.next; return none.one(); }
        if (k == 8) { int[] gone = nilptr; return gone[0]; }
        return 0;
    } catch (DivByZeroException e) {
        return 10;
    } catch (IndexOutOfBoundsException e) {
        int w = 0;
        while (w < 3) w++;
        return 20 + w;
    } catch (NullPointerException e) {
        return 30 + (int)e.errcode;
    } catch (RuntimeException e) {
        int t = 0;
        while (t < 2) t++;
        Bad b = (Bad)e;
        return 40 + b.code + t;
    } catch (Error e) {
        return 50;
    } catch (Exception e) {
        return 60;
    }
    return -1;
}
int wide(int k) {
    try { return 100 / k; } catch (Exception e) { return -7; }
    return 0;
}
int narrow(int k) {
    int r = 0;
    try {
        try { r = 5 / k; } catch (RuntimeException e) { r = -1; }
    } catch (DivByZeroException e) { r = -2; }
    return r;
}
int through(int k) {
    try { return divide(1, k); } finally { log += 10; }
    return 0;
}
int main(String[] args) {
    int r = 0;
    for (int k = 0; k < 10; k++) r += classify(k);                        // 10+23+30+51+60+50+60+30+30+0, log 1
    r += wide(0) * 10000;                                                  // -70000
    r += narrow(0) * 100000;                                               // -200000
    try { through(0); } catch (DivByZeroException e) { r += 1000000; }     // log 11
    return r + log * 10000000;
}
