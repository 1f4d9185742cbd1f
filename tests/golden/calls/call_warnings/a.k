void g(int a) { }
class D {
    public int v;
    public void k(int v) { g(v); }
};
void h(long k, String s, D d) { k.hash(); s.hash(); d.hash(); }
int main(String[] args) { return 0; }
