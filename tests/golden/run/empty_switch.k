// expect-result: 111
// A switch whose cases hold no statement still evaluates its selector: the
// call runs, and a null object or an index outside the array throws.
class Obj { public int b; };
int g = 0;
int bump() { g += 1; return 3; }
int main(String[] args) {
    Obj[] objs = new Obj[1];
    int[] a = new int[2];
    switch (bump()) { case 6: }
    int r = 0;
    try { switch (objs[0].b) { case 1: } } catch (Exception e) { r += 10; }
    try { switch (a[g + 4]) { case 1: default: } } catch (Exception e) { r += 100; }
    return g + r;
}
