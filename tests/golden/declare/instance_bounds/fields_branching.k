// Three more instances in the fields of each instance: the recursion is
// reported where the first instances meet it, and no queued instance body
// is compiled afterwards.
class P<X, Y> {
    public P<P<X, Y>, Y> a = new P<P<X, Y>, Y>();
    public P<X, P<X, Y>> b = new P<X, P<X, Y>>();
    public P<Y, X> c = new P<Y, X>();
};
int main(String[] args) { P<int, String> p = new P<int, String>(); return p.c == nilptr ? 1 : 0; }
