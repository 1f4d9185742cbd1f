// An operand is one value with its own code: an address taken for a method
// that accepts none, and code whose value is one of several, are refused.
class A {
    public int m() { return 1; } // expect warning 324: 已定义但不使用的对象.
    public int m(int x) { return x; } // expect warning 324: 已定义但不使用的对象.
};
int take(int a) { return a; }
int main(String[] args) { // expect warning 324: 已定义但不使用的对象.
    int x = (int)args.length;
    A a = new A();
    A b = new A();
    bool ok = x == 1;
    take(&x); // expect error: 无效的取地址操作. // expect error: 找不到方法(参数不正确 或 找不到符合参数的方法)
    take((ok ? a : b).m); // expect error: 无法确定对象
    return take(x);
}
