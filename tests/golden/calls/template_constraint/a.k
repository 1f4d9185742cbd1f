// A template parameter bound to Exception: an exception class is taken, a
// String is refused with the constraint, and the call finds no method.
<E : Exception> E first(E e) { return e; }
int main(String[] args) {
    IOException io = first(new IOException());
    String s = first("text");
    return 0;
}
