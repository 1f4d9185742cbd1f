f();
f(a, &b);
f<T>(a);
a.b.c(1).d[2][3].e;
a.operator+(b);
a.operator[](0);
"abc".length;
Map<String, List<int>> m;
f(a)[0].g();
