class Base { Base() { } };
class Derived : Base { Derived() { } long g() { return 1; } };
int f(int a) { if (a) return 1; return 2; }
void v() { return; break; continue; }
static int main(String[] args) { char c = 'x'; String s = "s"; throw s; return 0; }
