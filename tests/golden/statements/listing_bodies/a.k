int f() { return 1; }
long g() { return 1; }
void v() { return; }
class B { B() { } };
class C : B { };
class D : C { D() { } };
int main(String[] args) { return 0; }
