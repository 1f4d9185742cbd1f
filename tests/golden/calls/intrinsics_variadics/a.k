class A { };
void v(int a, Object[] rest) { }
void h(A a, long k) {
    v(1, 2, 3);
    a.hash();
    k.toString();
    new A();
    _system_.output("x");
    Math.sqrt(2);
}
int main(String[] args) { return 0; }
