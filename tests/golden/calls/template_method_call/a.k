// A template method called with its type inferred: from the declared type
// (int x), from the assigned variable's type (long y), from the argument
// alone (a plain call, a var). Each instance's code stands before its call,
// jumped over, and the call goes to its first instruction.
<T> T pick(T a) { return a; }
int main(String[] args) {
    int x = pick(3);
    long y = 0;
    y = pick(4);
    pick(5);
    var z = pick(6);
    return x;
}
