// A template method called with its type inferred from the argument and
// the declared type: its instance's code stands before the call, jumped
// over, and the call goes to its first instruction.
<T> T pick(T a) { return a; }
int main(String[] args) {
    int x = pick(3);
    return x;
}
