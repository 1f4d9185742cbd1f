// A loop's jump back points at the loop; the body then fails, and its
// dropped code must still be freed.
void f() {
    for (;;) { }
    do a++; while (b);
}
void g() {
    while (true) { if (c) break; }
    h();
}
