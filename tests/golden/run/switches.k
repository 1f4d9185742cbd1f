// expect-result: 52468209
// Dense and sparse switches, falling through, default in the middle, break
// leaving the switch but not the loop around it, continue inside a case.
int dense(int x) {
    int r = 0;
    switch (x) {
    case 1: r = 5; break;
    case 2: r = 7;
    case 3: r += 1; break;
    default: r = 9;
    case 4: r += 100;
    }
    return r;
}
int sparse(int x) {
    switch (x) {
    case -50: return 1;
    case 200: return 2;
    case 3000: return 3;
    }
    return 4;
}
int main(String[] args) {
    int r = 0;
    for (int x = 0; x < 6; x++) r = r * 10 + dense(x) % 10;   // 9 (109) 5 8 1 0 (100) 9 (109)
    int s = 0;
    for (int i = -60; i < 3100; i += 10) {
        switch (i) {
        case -50: s += 1; break;
        case 200: continue;
        case 3000: s += 100; break;
        default: s += 0;
        }
        s += 1000;                                          // 315 times: not for 200
    }
    return r + sparse(200) * 10000000 + s * 100;            // 958109 + 20000000 + 31510100
}
