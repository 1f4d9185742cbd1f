// expect-result: 149
// A method whose last path throws compiles, and its throw reaches the
// caller's handler.
class Failure : Exception { };
int pick(int n) {
    if (n > 0) return n;
    throw new Failure();
}
int safe(int n) {
    try {
        return pick(n);
    } catch (Exception e) {
        return -1;
    }
}
int main(String[] args) {
    return pick(5) * 10 + safe(0) + 100;
}
