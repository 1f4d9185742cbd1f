// expect-result: 1234508976
// Case values written out of order: the table and the sorted lookup still
// send each value to its own body.
int dense(int x) {
    switch (x) {
    case 3: return 4;
    case 1: return 2;
    case 4: return 5;
    case 2: return 3;
    case 0: return 1;
    }
    return 0;
}
int sparse(int x) {
    switch (x) {
    case 900: return 7;
    case -40: return 8;
    case 5: return 9;
    }
    return 6;
}
int main(String[] args) {
    int r = 0;
    for (int x = 0; x < 6; x++) r = r * 10 + dense(x);      // 123450
    r = r * 1000 + sparse(-40) * 100 + sparse(5) * 10 + sparse(900);
    return r * 10 + sparse(6);
}
