// A throw ends its path as a return does: a method whose every path returns
// or throws needs no return at its end.
class Failure : Exception { };
int afterIf(bool ok) {
    if (ok) return 1;
    throw new Failure();
}
int bothBranches(bool ok) {
    if (ok) return 2;
    else throw new Failure();
}
int thrownFirst(bool ok) {
    if (ok) throw new Failure();
    else return 3;
}
int main(String[] args) {
    bool ok = args.length == 0;
    return afterIf(ok) + bothBranches(ok) + thrownFirst(!ok);
}
