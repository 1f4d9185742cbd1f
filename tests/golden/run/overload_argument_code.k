// expect-result: 0
// With no exact match every overload is tried on the arguments; the code
// that yields an argument (an element's field, a call, a static field, a
// chain of fields) still runs once, before the chosen call.
class Obj {
    public int b;
    public Obj next;
    public static int st = 7;
    public Obj(int y) { b = y; }
    public int get() { return b; }
    public int n(double x) { return (int)x; }
    public int n(int x, int y) { return x - y; }
};
int f(double x) { return (int)x; }
int f(int x, int y) { return x - y * 2; }
int main(String[] args) {
    Obj[] objs = new Obj[2];
    objs[0] = new Obj(4);
    objs[1] = new Obj(9);
    objs[1].next = objs[0];
    short s = 1;
    int r = 0;
    if (f(objs[0].b, s) != 2) r += 1;
    if (f(objs[1].get(), s) != 7) r += 2;
    if (f(Obj.st, s) != 5) r += 4;
    if (f(objs[1].next.b, s) != 2) r += 8;
    if (objs[1].next.n(objs[1].b, s) != 8) r += 16;
    return r;
}
