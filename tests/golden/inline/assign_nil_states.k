// Comparisons whose outcome the nilptr states already decide warn 325 and
// 326 only under -wn (see expressions/nil_states_wn): here they are silent.
class P { // expect warning 324: 已定义但不使用的对象.
    public int n;
};
void f(P p, P q) { // expect warning 324: 已定义但不使用的对象.
    p = nilptr;
    p == nilptr;
    p != nilptr;
    q = p;
    nilptr != q;
}
int main(String[] args) { return 0; } // expect warning 204: 未使用的参数:args
