// expect-result: 195110171
// Static fields of a class and global variables changed from several
// methods, mutual recursion, a binary tree built and walked recursively,
// long results of recursive calls.
class Tree {
    public static int made = 0;
    public int key;
    public Tree left;
    public Tree right;
    public Tree(int k) { key = k; left = nilptr; right = nilptr; Tree.made += 1; }
    public void insert(int k) {
        if (k < key) {
            if (left == nilptr) left = new Tree(k); else left.insert(k);
        } else {
            if (right == nilptr) right = new Tree(k); else right.insert(k);
        }
    }
    public int depth() {
        int l = left == nilptr ? 0 : left.depth();
        int r = right == nilptr ? 0 : right.depth();
        if (l > r) return l + 1;
        return r + 1;
    }
    public static int sum(Tree t) {
        if (t == nilptr) return 0;
        return t.key + sum(t.left) + sum(t.right);
    }
};
int visits = 0;
bool isEven(int n) { visits++; if (n == 0) return true; return isOdd(n - 1); }
bool isOdd(int n) { visits++; if (n == 0) return false; return isEven(n - 1); }
long power(long b, int e) {
    if (e == 0) return 1;
    long half = power(b, e / 2);
    if (e % 2 == 1) return half * half * b;
    return half * half;
}
int main(String[] args) {
    Tree root = new Tree(50);
    int k = 7;
    for (int i = 0; i < 20; i++) {
        k = (k * 37 + 11) % 100;
        root.insert(k);
    }
    int r = Tree.sum(root) * 10 + root.depth() + Tree.made * 100000;   // 9800 + 8 + 2100000
    if (isEven(10)) r += 1000000;
    if (isOdd(7)) r += 2000000;
    long p = power(3, 37);
    return r + visits * 10000000 + (int)(p % 1000);   // 19 visits, 3^37 ends in 363
}
