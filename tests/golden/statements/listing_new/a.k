class A { };
class C { public C(int x) { } };
class B { public B() { } public int get() { return 0; } };
A makeA() { return new A(); }
C makeC() { return new C(7); }
B makeB() { return new B() { public int get() { return 1; } }; }
B capture(int k) { return new B() { public int get() { return k; } }; }
int main(String[] args) { return 0; }
