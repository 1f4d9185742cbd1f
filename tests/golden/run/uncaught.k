// expect-throw: Lost
// An exception no try takes leaves main through a finally on its way.
class Lost : Exception { public int at; public Lost(int a) { at = a; } };
int depth = 0;
int down(int n) {
    try {
        if (n == 0) throw new Lost(depth);
        return down(n - 1);
    } finally {
        depth += 1;
    }
    return 0;
}
int main(String[] args) {
    return down(4);
}
