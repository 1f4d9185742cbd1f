<T> T pick(T a) { return a; }
<E : Exception> E fail(E e) { return e; }
<R, S> R conv(S s) { return s; }
<A, B> B second(A a, B b) { return b; }
<T> T broken(T a) { return; }
int main(String[] args) { return 0; }
