// expect-result: 6031310
// Code still in use after the body that made it is compiled: inline classes
// made in a body and called after it returned, a method's static kept
// between calls, a template method compiled for the calls of two bodies.
class Counter {
    public int get() { return 0; }
};
<T> T same(T a) { return a; }
int tick() { static int calls = 0; calls++; return calls; }
Counter make() { return new Counter() { public int get() override { return 10; } }; }
Counter other() {
    return new Counter() { public int get() override { int s = 0; for (int i = 0; i < 8; i++) s += i % 3 + 1; return s - 2; } };
}
int twice(int k) { return same(k) + same(k); }
int main(String[] args) {
    Counter a = make();
    Counter b = other();
    tick();
    tick();
    return a.get() + b.get() * 100 + tick() * 10000 + twice(3) * 1000000;
}
