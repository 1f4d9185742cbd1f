// expect-result: 12
// Field initialisers run when `new` makes the object (the class record's
// instance operand must reach the class's instance code).
class A { public int v = 5; public int w; public long z = 7; };
int main(String[] args) { A a = new A(); return a.v + a.w + (int)a.z; }
