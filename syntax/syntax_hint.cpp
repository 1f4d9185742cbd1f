#include "syntax/syntax_hint.h"

namespace {

struct HintText {
    int32_t code;
    const char* text;
};

const HintText kHintTexts[] = {
    {2, "缺少左括号 '('."},
    {3, "缺少分号 ''."},
    {4, "缺少右括号 ')'."},
    {5, "缺少左花括号 '{'."},
    {6, "缺少右花括号 '}'."},
    {8, "for 语句中的初始化表达式错误, 可以为变量定义及初始化、一般表达式或者为空."},
    {9, "for 语句中的条件终止判定表达式错误, 可以为条件判断或者为空."},
    {10, "for 语句中的循环表达式错误,可以为一般表达式 或者为空."},
    {11, "不合法的表达式, 全局范围可以定义包、类、变量、方法、枚举、接口， 声明using引用或者引用其他文件."},
    {12, "不正确的基类声明."},
    {14, "基类访问权限可为public(公开的)、private(私有的)、protected(受保护的)或者为空(默认公开)."},
    {15, "基类可以为模板类或者一般类"},
    {16, "缺少元素? 末元素不要以 ',' 结尾"},
    {18, "缺少有效的标识符"},
    {20, "缺少左方括号 '['."},
    {21, "缺少右方括号 ']'."},
    {22, "缺少左尖括号 '['."},
    {23, "缺少右尖括号 ']'."},
    {24, "是否缺少符号 ':' ?"},
};

}  // namespace

const char* syntaxHintText(int32_t code) {
    for (const HintText& entry : kHintTexts)
        if (entry.code == code) return entry.text;
    return nullptr;
}
