class P { };
enum Color { Red, Green = 5, Blue };
int main(String[] args) {
    int a;
    long b;
    double c;
    String s;
    P p;
    bool f;
    byte y;
    char ch;
    short sh;
    float fl;
    long l = a;
    int i2 = a;
    var v = 7;
    const int K = 3;
    int k2 = K;
    String t = "x";
    String n = nilptr;
    Color e = Blue;
    int eb = Color.Blue;
    return 0;
}
