// expect-result: 102885
// Loops of every form with break and continue, nested, with counters that
// run down and conditions joined by && and ||.
int main(String[] args) {
    int sum = 0;
    for (int i = 0; i < 10; i++) {
        if (i % 3 == 0) continue;
        if (i > 7) break;
        sum += i;                               // 1 2 4 5 7 = 19
    }
    int j = 20;
    while (true) {
        j -= 3;
        if (j < 5 || j == 11) break;            // 17 14 11
        if (j % 2 == 0 && j > 10) continue;     // 14 skipped
        sum += j;                               // + 17 = 36
    }
    int k = 0;
    do { k += 2; if (k == 4) continue; sum += k; } while (k < 8);   // + 2 6 8 = 52
    for (int x = 5; x > 0; x--) {
        for (int y = 0; y <= x; y++) {
            if (y == 2) continue;
            if (y > 3) break;
            sum += x * y;                       // x(0+1+3) for x>=3, x(0+1) for x<3
        }
    }                                           // 5*4 + 4*4 + 3*4 + 2*1 + 1*1 = 51 -> 103
    int n = 0;
    for (int z = 100; z != 0; z = z / 2) n++;   // 100 50 25 12 6 3 1 -> 7
    long big = 1;
    for (int p = 0; p < 40; p++) big *= 3;
    int wrapped = 2147483647;
    wrapped += 2;
    if (wrapped != -2147483647) return -1;      // int arithmetic wraps at 32 bits
    return sum * 1000 + n * 100 + (int)(big % 1000);   // 3^40 wraps in a long: % 1000 is -815
}
