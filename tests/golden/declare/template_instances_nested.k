// Instances named in method bodies: an instance argument made in main is
// visible inside the outer instance, and arguments that swap name the
// instance's own parameters, not those of the type the expression expects.
class Box<X> {
    public X value;
};
class Q<A, B> {
    public Q<B, A> swapped;
    public int g() { Q<B, A> z = new Q<B, A>(); return z == nilptr ? 1 : 0; }
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    Box<Box<int>> b = new Box<Box<int>>();
    Q<int, String> q = new Q<int, String>();
    return q.g() + (b.value == nilptr ? 0 : 1);
}
