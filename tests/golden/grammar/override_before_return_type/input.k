class A { override int f() { } };
