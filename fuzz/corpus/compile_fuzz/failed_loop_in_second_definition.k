// A second definition of a method is in no scope that teardown detaches;
// its loop fails, and the method must not keep its first instruction.
void g() {
    while (true) { c; }
}
void g() {
    while (true) { c; }
}
