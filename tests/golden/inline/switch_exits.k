// A break leaves the switch, not the block around it: what follows a switch
// whose every case breaks is reached; what follows one whose every case
// returns is not.
int everyCaseBreaks(int k) {
    int r = 0;
    switch (k) {
        case 1:
            r = 5;
            break;
        default:
            r = 7;
            break;
    }
    return r;
}
int everyCaseReturns(int k) {
    switch (k) {
        case 1:
            return 5;
        default:
            return 7;
    }
    return 0;  // expect warning 322: 以下代码将无法访问
}
int breaksInLoop(int k) {
    for (int i = 0; i < 3; i++) {
        switch (k + i) {
            case 1:
                break;
            default:
                continue;
        }
        k++;
    }
    return k;
}
int main(String[] args) {
    int n = (int)args.length;
    return everyCaseBreaks(n) + everyCaseReturns(n) + breaksInLoop(n);
}
