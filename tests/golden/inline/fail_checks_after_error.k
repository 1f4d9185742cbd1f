// After an error, every later statement is checked as in a clean compile:
// a missing return, a mismatch in an else, a repeated case.
int first() { // expect warning 324: 已定义但不使用的对象.
    int a = "x"; // expect error: 类型不匹配,无法赋值
    return a;
}
int second(int k) { // expect error: 方法需要返回值 // expect warning 324: 已定义但不使用的对象.
    int j = k;
    if (j == 2) { return 1; }
}
int third(int k) { // expect warning 324: 已定义但不使用的对象.
    if (k == 1) {
        k = 2;
        k = 3;
    } else {
        int c = "y"; // expect error: 类型不匹配,无法赋值
    }
    return k;
}
int fourth(int k) { // expect warning 324: 已定义但不使用的对象.
    switch (k) {
    case 1:
        k = 2;
        k = 3;
        break;
    case 1: break; // expect error: 相同的值在此开关中已经存在
    }
    return k;
}
int main(String[] args) { // expect warning 204: 未使用的参数:args
    return 0;
}
