// Two templates deriving from each other, named in a method body.
class A<T> : B<T> {
};
class B<T> : A<T> {
};
int main(String[] args) { A<int> a = new A<int>(); return a == nilptr ? 1 : 0; }
