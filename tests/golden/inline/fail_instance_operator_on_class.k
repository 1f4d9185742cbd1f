// An instance operator asked of a class named directly is not found there:
// each use ends in two errors, not in a search without end.
class A {
    public int v;
    public bool operator == (A o) { return v == o.v; } // expect warning 324: 已定义但不使用的对象.
    public int operator [] (int i) { return i; } // expect warning 324: 已定义但不使用的对象.
};
int f(A a) { // expect warning 324: 已定义但不使用的对象.
    bool same = A == a; // expect error: 找不到对象:== // expect error: 找不到重载的运算符操作
    bool text = String != "s"; // expect error: 找不到对象:!= // expect error: 找不到重载的运算符操作
    if (same && text) return A[1]; // expect error: 找不到对象:[] // expect error: 找不到重载的运算符操作 // expect error: 未定义的标识符
    return 0;
}
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
