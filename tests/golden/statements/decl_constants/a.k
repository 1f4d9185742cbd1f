class A {
    const int K = 5;
    static const int S = 7;
    int f() { int x = K; int y = S; return x + y; }
};
int main(String[] args) { return 0; }
