void f(long a, int b) { }
void f(int a, long b) { }
void g(int a) { }
enum E { X, Y };
class C { public void m(); };
class D { };
class P { public P() { } public P(int x) { } };
class Q : P { public Q() { __KInterrupt(1); super(1); } };
void h(D d) { d.zz(); }
int main(String[] args) {
    f(1, 2);
    g("x");
    new E();
    new C();
    return 0;
}
class Twin { public int x; public int x() { return 1; } };
int twin(Twin t) { return t.x + 1; }
