// A named constant reached through its class is a constant: it folds (so a
// narrowing sees its value), and it may label a case.
enum Shape { SIDES = 4 };
class K { public static const int N = 3; };
int main(String[] args) {
    int a = Shape.SIDES * 2 + (int)args.length;
    byte c = K.N * 100; // expect warning 117: 超过该类型范围的数据将丢失. // expect warning 164: 从 int 转换到 byte 可能丢失数据.
    switch (a) {
    case Shape.SIDES + 4:
        a = 1;
        break;
    case K.N + 1:
        a = 2;
        break;
    }
    return a + c;
}
