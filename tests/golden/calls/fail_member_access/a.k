// Members of another class by their access: public ones seen from anywhere,
// protected ones from a derived class, private ones from the class and the
// classes it encloses; a name with members of both kinds binds the visible ones.
class Base {
    public int open = 1;
    protected int guarded = 2;
    private int hidden = 3;
    public int pick(int a) { return a; }
    protected int pick(String s) { return s.length(); }
    private int secret() { return 4; }
    class Inner {
        public int peek(Base b) { return b.hidden + b.secret() + b.guarded + b.pick("z"); }
    };
};
class Derived : Base {
    public int reach(Base b, Derived d) { return b.open + d.guarded + d.pick("ab") + b.pick(1); }
    public int privateThroughDerived(Derived d) { return d.hidden; }
    public int privateMethod(Derived d) { return d.secret(); }
};
class Outside {
    public int reach(Base b, String s) { return b.open + b.pick(2) + s.length(); }
    public int protectedField(Base b) { return b.guarded; }
    public int protectedOverload(Base b) { return b.pick("x"); }
    public int privateMethod(Base b) { return b.secret(); }
    public int misspelt(Base b) { return b.hidde; }
};
int main(String[] args) {
    return new Outside().reach(new Base(), "q") + new Derived().reach(new Base(), new Derived());
}
