// Two instances of one template class: each compiles its own body, the
// field and the method typed by its argument.
class Box<T> {
    T v;
    T get() { return v; }
};
void use(Box<int> a, Box<String> b) { }
int main(String[] args) { return 0; }
