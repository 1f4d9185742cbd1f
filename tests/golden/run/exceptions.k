// expect-result: 5984224
// Exceptions thrown several calls deep, caught by the right clause of the
// right try, finally blocks run on every way out (normal end, return,
// break, continue, an exception passing through), rethrows from handlers.
class Oops : Exception { public int code; public Oops(int c) { code = c; } };
class Worse : Oops { public Worse(int c) { super(c); } };
int log = 0;
int deep(int n) throws Oops {
    if (n == 0) throw new Oops(7);
    if (n < 0) throw new Worse(-n);
    return 1 + deep(n - 1);
}
int guarded(int n) {
    try {
        return deep(n);
    } catch (Worse w) {
        return 1000 + w.code;
    } catch (Oops o) {
        return 100 + o.code;
    } finally {
        log += 1;
    }
    return -3;
}
int passThrough(int n) throws Oops {
    try {
        deep(n);
    } finally {
        log += 10;
    }
    return -1;
}
int rethrow(int n) throws Oops {
    try {
        deep(n);
    } catch (Oops o) {
        log += 100;
        throw new Oops(o.code + 1);
    }
    return -2;
}
int loopExits() {
    int s = 0;
    for (int i = 0; i < 6; i++) {
        try {
            if (i == 1) continue;
            if (i == 4) break;
            s += i;
        } finally {
            log += 1000;
        }
    }
    return s;
}
int main(String[] args) {
    int r = guarded(3) + guarded(0) + guarded(-5);  // 107 + 107 + 1005, log 3
    try {
        r += passThrough(2);
    } catch (Oops o) {
        r += o.code * 10000;                         // 70000, log 13
    }
    try {
        r += rethrow(1);
    } catch (Oops o) {
        r += o.code * 100000;                        // 800000, log 113
    }
    r += loopExits();                                // 0 + 2 + 3, log 5113
    return r + log * 1000;                           // 871224 + 5113000
}
