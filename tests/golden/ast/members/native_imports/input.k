import { int f(); };
import "user32.dll" { };
import "k\x41.dll" {
    int stdcall f(char * p, int n, ...);
    void cdecl g(int & r, String);
    long h();
};
class C { import "c.so" { int m(); }; int pascal n(int a); };
