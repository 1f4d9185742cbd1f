// expect-result: 1261
// Plain `this` as a value, a choice as the argument of `new`, and a cast of a
// member reached through a call: each value keeps the code that makes it.
class B {
    public int v;
    public B(int x) { v = x; }
    public B self() { return this; }
    public void set(int w) { this.v = w; }
};
class Ex : Exception { public int code; public Ex(int c) { code = c; } };
int thrown(int a, int b) {
    try { throw new Ex(a < b ? 5 : 6); } catch (Ex e) { return e.code; }
    return 0;
}
int main(String[] args) {
    B b = new B(1);
    b.set(40);
    long big = 7;
    big += (long)(b.self().v) * 30;
    return b.self().v + 2 + (int)big * thrown(1, 2) / 5 + thrown(2, 1) * 2;
}
