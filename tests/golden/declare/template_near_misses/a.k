// Templates are offered for unknown names close to theirs, at a name's first
// failure and at its later ones alike, and so is one declared further down.
class Box<T> {
    T value;
};
class Main {
    public int run(int n) {
        Lis<String> a = nilptr;
        Bx<int> c = nilptr;
        int k = Lst + Boxx + lenght + Map + List;
        return n + Lis + Bx + Latr;
    }
};
class Later<T> { T t; };
class Again {
    public int go() { return Latr + Lis + Box1; }
};
