// Two arguments that swap and nest: the name grows faster than its depth
// and is refused for its length.
class P<X, Y> {
    public int f() { P<Y, P<X, Y>> x = new P<Y, P<X, Y>>(); return x.f(); }
};
int main(String[] args) { P<int, String> p = new P<int, String>(); return p.f(); }
