// expect-result: 4242
// Nested classes whose base is a nested class: the base's code reads the
// members of its enclosing class through the deriving object's enclosing
// instance, which is that class (a sibling) or a class derived from it. A
// static nested base and a top-level base need no enclosing instance. A
// class made in a method of a class, or an instance of a template nested in
// it, may derive from that class: its body is declared by then.
int check(int got, int want, int id) {
    if (got == want) return 0;
    return id;
}
class Task { public int run() { return 0; } };
class Plain {
    public int p = 9;
    public int plain() { return p; }
};
class Town {
    public int pop;
    public static int mayors = 2;
    public Town(int v) { pop = v; }
    public class Census {
        public int extra = 1;
        public int total() { return pop + extra; }
    };
    public static class Registry {
        public int entries = 30;
        public int count() { return entries + mayors; }
    };
    class Survey : Census {
        public Survey() { extra = 5; }
    };
    class Street {
        public int houses = 4;
        class Office : Registry { };
        class Lamp : Plain { public int lit() { return plain() + houses; } };
        public int office() { Office o = new Office(); return o.count(); }
        public int lamp() { Lamp l = new Lamp(); return l.lit(); }
    };
    public int survey() { Survey s = new Survey(); return s.total(); }
    public int street() { Street s = new Street(); return s.office() * 100 + s.lamp(); }
};
class City : Town {
    public int wards = 3;
    public City() { super(700); }
    class Ward : Census {
        public Ward() { extra = wards; }
    };
    public int ward() { Ward w = new Ward(); return w.total(); }
};
class Box {
    public int w = 3;
    public int get() { return w; }
    class Crate<T> : Box { public int get() override { return w * 2; } };
    public int crate() { Crate<int> c = new Crate<int>(); return c.get(); }
    public int made() {
        Task t = new Task() {
            class Part : Box { public int get() override { return w + 20; } };
            public int run() override { Part p = new Part(); return p.get(); }
        };
        return t.run();
    }
};
int main(String[] args) {
    int bad = 0;
    Town t = new Town(1000);
    bad += check(t.survey(), 1005, 1);
    bad += check(t.street(), 3213, 2);
    City c = new City();
    bad += check(c.ward(), 703, 3);
    bad += check(c.survey(), 705, 4);
    Box b = new Box();
    bad += check(b.crate(), 6, 5);
    bad += check(b.made(), 23, 6);
    if (bad != 0) return bad;
    return 4242;
}
