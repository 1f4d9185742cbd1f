class Util { int twice(int v) { return v * 2; } };
package pk { class C { int m; }; };
class Unused { };
class Base { };
class Derived : Base { };
static int f(int v) { return v; }
