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
int main(String[] args) { return 0; }
