// A method body naming a deeper instance of its own template: each instance
// compiles the next one, until the name nests too deep.
class T<X> {
    public int f() { T<T<X>> x = new T<T<X>>(); return x.f(); }
};
int main(String[] args) { T<int> t = new T<int>(); return t.f(); }
