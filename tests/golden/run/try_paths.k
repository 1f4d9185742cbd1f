// expect-result: 33361
// A try whose body and every handler return needs nothing after it, nor
// does one whose finally returns; loops inside a finally break and
// continue within it.
class Refused : Exception { public int code; public Refused(int c) { code = c; } };
int log = 0;
int bodyReturns(int a) {
    try {
        return a + 1;
    } finally {
        a = 0;
        log += 1;
    }
}
int everyHandlerReturns(int a) {
    try {
        if (a < 0) throw new Refused(-a);
        return a * 2;
    } catch (Refused e) {
        return 100 + e.code;
    } finally {
        log += 10;
    }
}
int handlerThrows(int a) throws Refused {
    try {
        if (a > 5) return a;
        throw new Refused(a);
    } catch (Refused e) {
        throw new Refused(e.code + 1);
    }
}
int loopsInFinally(int n) {
    int s = 0;
    try {
        s = n;
    } finally {
        for (int i = 0; i < 10; i++) {
            if (i == 1) continue;
            if (i == 3) break;
            s += 100;
        }
    }
    return s;
}
int main(String[] args) {
    int r = bodyReturns(4) + everyHandlerReturns(3) + everyHandlerReturns(-7);  // 5 + 6 + 107
    try {
        r += handlerThrows(2);
    } catch (Refused e) {
        r += e.code * 1000;                                                    // 3000
    }
    r += handlerThrows(9);                                                     // 9
    r += loopsInFinally(7);                                                    // 7 + 200
    return r * 10 + log;                                                       // 3334 * 10 + 21
}
