class K { public static int add(int a, int) { } };
static final class A<T, U : Base> : public B { int n; };
class C {
    C(int a) throws E { }
    C();
    int f(int a) override throws E, F { return a; }
    static final int g() { }
    <T> T h(T t, int) { return t; }
    bool operator == (A a) { return true; }
    int operator [ ] (int i) { }
};
interface I { int f(); };
void main() {
    var x = new A<B>(c) { void run() { } };
    var y = new A() { };
}
