// A template deriving from a deeper instance of itself.
class A<T> : A<A<T>> {
};
class Holder {
    public A<int> a;
};
int main(String[] args) { A<String> s = new A<String>(); return new Holder() == nilptr || s == nilptr ? 1 : 0; }
