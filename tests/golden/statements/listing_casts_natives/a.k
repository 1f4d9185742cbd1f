enum E { a, b };
class N {
  int stdcall f(int a);
  long cdecl f(long a, String s);
};
int f(long x) { return (int)x; }
Object g(String[] s) { return (Object[])s; }
int h(E e) { return (int)e; }
long k(int i) { return (E)i; }
int main(String[] args) { return 0; }
