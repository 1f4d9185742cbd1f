// expect-result: 117
// Named constants reached through their class fold and label cases.
enum Shape { SIDES = 4 };
class K { public static const int N = 3; };
int main(String[] args) {
    int a = Shape.SIDES * 2;
    int b = K.N * K.N;
    int r = 0;
    switch (a + b) {
    case Shape.SIDES + 13:
        r = 100;
        break;
    case K.N:
        r = 1;
        break;
    default:
        r = 7;
        break;
    }
    return r + a + b;
}
