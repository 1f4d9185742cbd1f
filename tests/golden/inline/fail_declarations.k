// Declarations inside bodies: each refusal once, at the node it names.
class P { // expect warning 324: 已定义但不使用的对象.
    int m() { return 1; } // expect warning 324: 已定义但不使用的对象.
    int m(int a) { return a; } // expect warning 324: 已定义但不使用的对象.
    int duplicate() { // expect warning 324: 已定义但不使用的对象.
        int a = 1;
        int a = 2; // expect error: 相同命名的对象已存在
        return a;
    }
    int automatic() { // expect warning 324: 已定义但不使用的对象.
        var x; // expect error: 自动类型变量必须初始化
        return 0;
    }
    int constant() { // expect warning 324: 已定义但不使用的对象.
        const int c; // expect error: 常量数据必须初始化.
        return 0;
    }
    int unknown() { // expect warning 324: 已定义但不使用的对象.
        Missing y = 1; // expect error: 未知的类型
        return 0;
    }
    int voidObject() { // expect warning 324: 已定义但不使用的对象.
        void z; // expect error: 无效类型
        return 0;
    }
    int mismatch() { // expect warning 324: 已定义但不使用的对象.
        int s = "text"; // expect error: 类型不匹配,无法赋值
        return s;
    }
    int noValue() { // expect warning 324: 已定义但不使用的对象.
        int w = {1}; // expect error: 找不到可以初始化的数据
        return w;
    }
    int ambiguous() { // expect warning 324: 已定义但不使用的对象.
        var f = m; // expect error: 自动变量类型不明确,初始化值不唯一1:方法:m = [/int@/P/m()] private (私有)
        return 0;
    }
    int typeName() { // expect warning 324: 已定义但不使用的对象.
        int String = 1; // expect warning 298: String 是已定义的类型名或者包名.
        int P = 2; // expect warning 298: P 是已定义的类型名或者包名.
        int ClassOfALongerName = 3; // expect warning 298: ClassOfALongerName 是已定义的类型名或者包名.
        return String + P + ClassOfALongerName;
    }
    int untypedBraces() { // expect warning 324: 已定义但不使用的对象.
        var w = {1, 2}; // expect error: 无效类型
        return 0;
    }
    int selfInitialised() { // expect warning 324: 已定义但不使用的对象.
        int a = a; // expect error: 对象未初始化.
        return a;
    }
    int secondTypedByFirst() { // expect warning 324: 已定义但不使用的对象.
        var a = 1, b = "text"; // expect error: 类型不匹配,无法赋值
        return a;
    }
    int newUnknown() { // expect warning 324: 已定义但不使用的对象.
        int[] r = new Nope[]{1}; // expect error: 未知的类型
        return 0;
    }
    int outsideItsType() { // expect warning 324: 已定义但不使用的对象.
        int n = Turquoise; // expect error: 未定义的标识符
        return n;
    }
    static int x = 1;
    enum E { A = x }; // expect error: 需要已初始化的常量或字面量常量:
};
enum F { B = 1.5 }; // expect error: 类型不匹配,无法赋值 // expect warning 324: 已定义但不使用的对象.
enum Hue { Turquoise }; // expect warning 324: 已定义但不使用的对象.
class ClassOfALongerName {}; // expect warning 324: 已定义但不使用的对象.
int main(String[] args) { // expect warning 204: 未使用的参数:args
    return 0;
}
