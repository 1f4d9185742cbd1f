// expect-result: 7847409
// super.f() runs the base class's own f on the same object, also when f is
// inherited from further up; plain and this. calls still reach the
// object's override.
class Root {
    public int base = 1;
    public int val() { return base; }
    public int tag() { return 7; }
    public int twice() { return val() * 2; }
};
class Middle : Root {
    public int val() override { return super.val() * 10 + 2; }
};
class Leaf : Middle {
    public int val() override { return super.val() * 10 + 3; }
    public int tag() override { return super.tag() + 100; }
    public int rootTag() { return super.tag(); }
    public int mine() { return this.val() + val(); }
};
class Skip : Middle {
    public int tag() override { return super.tag() * 3; }
    public int direct() { return super.val(); }
};
int main(String[] args) {
    Leaf leaf = new Leaf();
    leaf.base = 4;
    Skip skip = new Skip();
    Root asRoot = leaf;
    int r = leaf.val();            // (4 * 10 + 2) * 10 + 3 = 423
    r += asRoot.twice() * 1000;    // 846000
    r += leaf.tag() + leaf.rootTag() * 1000000;  // 107 + 7000000
    r += skip.tag() + skip.direct(); // 21 + 12
    r += leaf.mine();              // 846
    return r;
}
