// Under -wn: p known nilptr after p = nilptr, so p == nilptr is redundant
// (325) and p != nilptr impossible (326); q takes p's state with q = p.
class P {
    public int n;
};
void f(P p, P q) {
    p = nilptr;
    p == nilptr;
    p != nilptr;
    q = p;
    nilptr != q;
}
// Inside if (p != nilptr) p is known not nilptr: a nested p == nilptr is
// impossible (326), p != nilptr redundant (325); in the else branch p is
// known nilptr, so p == nilptr is redundant (325). The same inside ?:.
void g(P p) {
    if (p != nilptr) {
        if (p == nilptr) { }
        if (p != nilptr) { }
    } else {
        if (p == nilptr) { }
    }
    int x = p == nilptr ? (p == nilptr ? 1 : 2) : (p != nilptr ? 3 : 4);
}
int main(String[] args) { g(nilptr); return 0; }
