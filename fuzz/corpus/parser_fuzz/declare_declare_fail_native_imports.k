// Native import declarations that are refused; the errors no later run can
// cure are printed once, however many runs meet them.
import "bad.dll" {
    int last(..., int n); // expect error: 不定参只能作为参数列表中的最后一项.
};
import "bad.dll" {
    int marker(int % n); // expect error: 语法错误 不可识别的字符:%
};
import "bad.dll" {
    int many(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13, int a14, int a15, int a16, int a17, int a18, int a19, int a20, int a21, int a22, int a23, int a24); // expect error: Native 调用支持的最大参数个数为24个.
};
import "bad.dll" {
    int enough(int a0, int a1, int a2, int a3, int a4, int a5, int a6, int a7, int a8, int a9, int a10, int a11, int a12, int a13, int a14, int a15, int a16, int a17, int a18, int a19, int a20, int a21, int a22, int a23);
    Widget make(); // expect error: 本地函数返回值的类型错误
};
import "bad.dll" {
    int take(Widget w); // expect error: 本地调用函数参数的类型错误
};
import "bad.dll" {
    int twice(int a, int a); // expect error: 相同命名的参数已存在
};
import "bad.dll" {
    int same(int a);
    int same(int b); // expect error: 方法无法重载,相同的方法已经存在
};
import { // expect error: 动态导入表只能在类中声明
    int dynamic();
};
