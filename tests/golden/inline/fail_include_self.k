include("fail_include_self.k") // expect error: 错误:文件引用包含自身,递归将导致语法栈溢出. // expect error: 缺少左尖括号 '['. // expect error: 语法错误:fail_include_self.k // expect error: 缺少左尖括号 '['. // expect error: 语法错误:fail_include_self.k
class S {
};
