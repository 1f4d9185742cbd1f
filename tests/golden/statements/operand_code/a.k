// Code an operand needs runs where its value is used: a choice on the right
// of an operator comes after the left value (saved in ecx), each argument's
// choice before its own push; `this` is the method's own object.
class Node {
    public int v;
    public Node self() { return this; }
    public void set(int w) { this.v = w; }
};
int pair(int a, int b) { return a * 10 + b; }
int main(String[] args) {
    bool ok = true;
    bool p = true;
    bool q = false;
    int a = 5;
    int y = a * 3 - (ok ? 2 : 1);
    int z = pair(p ? 1 : 0, q ? 1 : 0);
    Node n = new Node();
    n.set(y + z);
    return n.self().v;
}
