class A { void f() throws { } };
