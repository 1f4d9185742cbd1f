// expect-result: 5560222
// Objects made by new: virtual calls through a base-typed variable, methods
// calling methods of their own object, a linked list walked recursively,
// objects kept in arrays and passed to and returned from calls.
class Shape {
    public int id;
    public Shape(int i) { id = i; }
    public int area() { return 0; }
    public int describe() { return id * 1000 + area(); }
};
class Rect : Shape {
    public int w;
    public int h;
    public Rect(int i, int a, int b) { super(i); w = a; h = b; }
    public int area() override { return w * h; }
};
class Square : Rect {
    public Square(int i, int s) { super(i, s, s); }
    public int area() override { return w * h + 1; }
};
class Node {
    public int value;
    public Node next;
    public Node(int v, Node n) { value = v; next = n; }
    public int sum() { if (next == nilptr) return value; return value + next.sum(); }
};
Shape biggest(Shape[] all) {
    Shape best = all[0];
    for (int i = 1; i < 3; i++) {
        if (all[i].area() > best.area()) best = all[i];
    }
    return best;
}
int main(String[] args) {
    Shape[] all = new Shape[3];
    all[0] = new Shape(1);
    all[1] = new Rect(2, 3, 4);
    all[2] = new Square(3, 3);
    int r = 0;
    for (int i = 0; i < 3; i++) r += all[i].describe();     // 1000 + 2012 + 3010
    Shape b = biggest(all);                                 // the rectangle
    Node list = nilptr;
    for (int v = 1; v <= 10; v++) list = new Node(v, list);
    return r * 10 + b.id + list.sum() * 100000;             // 60220 + 2 + 5500000
}
