// Classes written before their bases, at the top and inside a class body:
// each is declared once its base is, whatever the order; a base that never
// comes is reported once, with the names that are close to it.
class D3 : D2 {
    public int d3() { return 3; }
};
class Holder {
    public static class N2 : N1 {
    };
    public static class N1 : N0 {
    };
    public static class N0 : D1 {
    };
};
class D2 : D1 {
};
class Lost : Missing { // expect error: 未知的基类型--> Missing - 是否可能指下列对象 ? // expect warning 324: 已定义但不使用的对象.
};
class Missing1 : Lost { // expect error: 未知的基类型 // expect warning 324: 已定义但不使用的对象.
};
class D1 : D0 {
};
class D0 {
    public int d0() { return 0; }
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    D3 d = new D3();
    Holder.N2 n = new Holder.N2();
    return d.d3() + d.d0() + n.d0();
}
