// What counts as a use for the unused-declaration warning: a call (of a
// global function, of a static method through its class, of an overload
// chosen among several), a new-expression, being a base class, a member
// reached through its class. Only what nothing reaches is reported.
int twice(int v) { return v * 2; }
int pick(int v) { return v; }
int pick(long v) { return 1; } // expect warning 204: 未使用的参数:v // expect warning 324: 已定义但不使用的对象.
class Base {
};
class Made : Base {
};
class Holder {
    public static const int K = 3;
    public static int get() { return K; }
};
class Alone { // expect warning 324: 已定义但不使用的对象.
};
int lonely() { return 0; } // expect warning 324: 已定义但不使用的对象.
int main(String[] args) { // expect warning 204: 未使用的参数:args
    new Made();
    return twice(1) + pick(2) + Holder.K + Holder.get();
}
