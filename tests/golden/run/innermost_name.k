// expect-result: 72
// A declaration's initialiser reads the innermost name: a parameter before
// the field it shadows, a local before the global.
int g = 5;
class Box {
    public int v;
    public void set(int v) {
        int w = v;
        this.v = w;
    }
};
int local() {
    int g = 2;
    int w = g;
    return w;
}
int main(String[] args) {
    Box b = new Box();
    b.v = 1;
    b.set(7);
    return b.v * 10 + local();
}
