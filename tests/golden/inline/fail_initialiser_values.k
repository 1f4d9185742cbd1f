// An initialiser's name is the innermost one: a parameter before the field
// it shadows (so the parameter is used). A `var` of a void value is refused
// for its type.
class Box {
    public int v;
    public void set(int v) {
        int w = v;
        this.v = w;
    }
};
void nothing() { }
int main(String[] args) { // expect warning 324: 已定义但不使用的对象.
    Box b = new Box();
    b.set((int)args.length);
    var v = nothing(); // expect error: 无效类型
    return b.v;
}
