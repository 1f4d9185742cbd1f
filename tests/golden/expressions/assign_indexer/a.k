// A class with "[]" operators: a[i] reads through the one-argument operator
// instead of load element, and a[i] = v calls the two-argument one with the
// index and the value, in that order.
class V {
    public int operator [] (int i) { return i; }
    public int operator [] (int i, int v) { return v; }
};
void f(V a, int i, int v) {
    v = a[i];
    a[i] = v;
}
int main(String[] args) { return 0; }
