void f() { for (;;); }
