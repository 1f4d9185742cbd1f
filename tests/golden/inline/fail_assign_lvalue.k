// What takes no store: a constant, a literal, a value left in a register
// ("+=" on the sum of two variables, and on what an indexer returned: "+="
// never goes through the "[]" operator) and a pair of types without "=". A
// parameter and a global of one name reached alike: the nearer, the
// parameter, takes the store, with the warning that lists both.
class P { // expect warning 324: 已定义但不使用的对象.
    public static const int K = 1;
};
class V {
    public int operator [] (int i) { return i; }
    public int operator [] (int i, int v) { return i + v; } // expect warning 324: 已定义但不使用的对象.
};
void g(V a, int i) { // expect warning 324: 已定义但不使用的对象.
    a[i] += 1; // expect error: 表达式必须为可以修改的左值
}
void f(int x, int y) { // expect warning 324: 已定义但不使用的对象.
    P.K = 2; // expect error: 表达式必须为可以修改的左值
    3 = x; // expect error: 表达式必须为可以修改的左值
    (x + y) += 1; // expect error: 表达式必须为可以修改的左值
    4++; // expect error: 表达式必须为可以修改的左值
    x = nilptr; // expect error: 无法找到匹配操作的数据
    x++;
    y += x;
}
int dup;
void g(int dup) { dup = 2; } // expect warning 128: 对象不唯一,有多个可以操作的对象: // expect warning 324: 已定义但不使用的对象.
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
