int f() { return 1; }
long g() { return 1; }
void v() { return; }
class B { B() { } };
class C : B { };
int main(String[] args) { return 0; }
