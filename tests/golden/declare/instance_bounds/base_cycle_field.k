// Two templates deriving from each other, named as a field type.
class A<T> : B<T> {
};
class B<T> : A<T> {
};
class Holder {
    public A<int> a;
};
int main(String[] args) { return new Holder() == nilptr ? 1 : 0; }
