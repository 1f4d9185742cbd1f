class A { public A(int x) { } };
class B : A { public B() { super(1); } };
void h(A a) {
    new A(2);
    new B();
    __KInterrupt(010);
    __kPackageResource("a.k");
    __nilptr_safe(a);
}
int main(String[] args) { return 0; }
