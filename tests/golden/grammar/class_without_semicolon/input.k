class A { }
