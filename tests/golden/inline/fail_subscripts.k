// Subscripts that compile to nothing: a double index, an object that is no
// array (and has no "[]" operator), a double dimension.
class P { // expect warning 324: 已定义但不使用的对象.
    public int n;
};
void f(int[] a, double d, P p, int x) { // expect warning 324: 已定义但不使用的对象.
    x = a[d]; // expect error: 数组下标只能是整数
    x = p[1]; // expect error: 对象不是数组
    a = new int[d]; // expect error: 数组下标类型不正确
    x = a[x];
}
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
