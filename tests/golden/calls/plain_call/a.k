int g(int a) { return a; }
int f(int a, long b) { return a; }
int main(String[] args) { f(g(1), 2); return 0; }
