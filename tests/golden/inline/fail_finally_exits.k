// A finally block is left only at its end: break and continue whose loop
// lies outside it are refused, those of a loop or switch inside it are
// not. A catch variable never read is reported at its clause.
class Refused : Exception { };
int exits(int n) {
    int s = 0;
    for (int i = 0; i < n; i++) {
        try {
            s += i;
        } catch (Refused e) {
            s = -1;
        } finally {
            if (i == 2) break; // expect error: 当前域中无法使用此语法.
            switch (i) {
            case 1:
                continue; // expect error: 当前域中无法使用此语法.
            case 3:
                break;
            }
            while (s > 100) {
                s -= 10;
                if (s < 150) break;
            }
        }
    }
    return s;
}
int afterEveryPath(int a) {
    try {
        if (a < 0) throw new Refused();
        return a;
    } catch (Refused e) { // expect warning 200: 未使用的对象:e
        return 0;
    }
    return 1; // expect warning 322: 以下代码将无法访问
}
int main(String[] args) { // expect warning 204: 未使用的参数:args
    return exits(5) + afterEveryPath(2);
}
