// Catalogue constants are case values: Crypto's padding and AES mode codes
// share their values, Signature's three do not collide with 1 (its listing is
// in catalogue/system/compile_case_constants); a class's own constant too.
int padding(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
    case Crypto.NoPadding:
        return 1;
    case Crypto.AES_CBC: // expect error: 相同的值在此开关中已经存在
        return 2;
    }
    return 0;
}
int state(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
    case Signature.UNINITIALIZED:
        return 1;
    case 1:
        return 2;
    case Signature.SIGN:
        return 3;
    case Signature.VERIFY:
        return 4;
    }
    return 0;
}
class K { public static const int A = 3; };
int own(int v) { // expect warning 324: 已定义但不使用的对象.
    switch (v) {
    case K.A:
        return 1;
    case 3: // expect error: 相同的值在此开关中已经存在
        return 2;
    }
    return 0;
}
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
