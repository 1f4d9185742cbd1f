// Native member functions: each error once, though both passes declare them.
class N { // expect warning 324: 已定义但不使用的对象.
    int cdecl f(int a); // expect warning 324: 已定义但不使用的对象.
    int cdecl f(int a); // expect error: 方法无法重载,相同的方法已经存在
    int stdcall f(long a); // expect warning 324: 已定义但不使用的对象.
    int cdecl h(int a, int a); // expect error: 相同命名的参数已存在
    int cdecl v(int x, ..., int y); // expect error: 不定参只能作为参数列表中的最后一项.
    N cdecl r(); // expect error: 本地函数返回值的类型错误
    int cdecl p(Q q); // expect error: 本地调用函数参数的类型错误
    int cdecl w(Q* q); // expect warning 324: 已定义但不使用的对象.
};
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
