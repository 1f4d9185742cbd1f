// expect-result: 3999
// The code of an operand runs where its value is used: the left value of an
// operator survives the right operand's choice, and every argument keeps
// its own choice; `this` is the object a method runs on, as a value too.
class Node {
    public int v;
    public Node self() { return this; }
    public void set(int w) { this.v = w; }
    public int doubled() { return twice(this); }
};
int twice(Node n) { return n.v * 2; }
int pair(int a, int b) { return a * 10 + b; }
int main(String[] args) {
    bool ok = true;
    bool p = true;
    bool q = false;
    int a = 5;
    int y = a * 3 - (ok ? 2 : 1);
    int z = pair(p ? 1 : 0, q ? 1 : 0) + pair(p && !q ? 2 : 0, p || q ? 3 : 0);
    Node n = new Node();
    n.set(y * 100 + z);
    return n.self().v + n.doubled();
}
