// Every class that names Box<String> or List<String> in a method body gets
// the same instance: each `alloc` of one instance reaches one class, and
// the Box body is compiled once.
class Box<T> {
    T v;
    public void set(T x) { v = x; }
};
class A {
    public int f() { Box<String> b = new Box<String>(); b.set("a"); List<String> l = new List<String>(); return l.size(); }
};
class B {
    public int f() { Box<String> b = new Box<String>(); b.set("b"); List<String> l = new List<String>(); return l.size(); }
};
int main(String[] args) { return new A().f() + new B().f(); }
