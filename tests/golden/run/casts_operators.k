// expect-result: 31221442
// A cast to a class passes an object of the class or of a class derived
// from it, and nilptr, and raises ClassCastException for any other object;
// == and != call the class's operator methods; a shift has the type of its
// left operand, at least int, whatever the type of the count.
class Money {
    public int cents;
    public Money(int c) { cents = c; }
    public bool operator == (Money o) { return cents == o.cents; }
    public bool operator != (Money o) { return cents / 100 != o.cents / 100; }
};
class Animal { public int legs() { return 4; } };
class Bird : Animal { public int legs() override { return 2; } };
class Rock { };
int main(String[] args) {
    int r = 0;
    Money a = new Money(150);
    Money b = new Money(150);
    Money c = new Money(199);
    if (a == b) r += 1;
    if (a == c) r += 10;
    if (a != c) r += 100;
    if (b != new Money(250)) r += 1000;
    Object o = new Bird();
    Animal an = (Animal)o;
    r += an.legs() * 10000;
    Bird bd = (Bird)an;
    r += bd.legs() * 100000;
    Object none = nilptr;
    Bird nb = (Bird)none;
    if (nb == nilptr) r += 1000000;
    try { Object x = new Rock(); Bird wrong = (Bird)x; r += 5; } catch (ClassCastException e) { r += 10000000; }
    try { Object y = new Animal(); Bird w2 = (Bird)y; r += 5; } catch (Exception e) { r += 20000000; }
    int x = 0x40000001;
    long two = 2;
    long y = x << two;                 // an int shift: 4, not 0x100000004
    r += (int)(y >> 32) * 3 + (int)y * 5;
    byte bb = 200;
    int z = bb << 1;                   // 400
    long big = 3;
    int k = 40;
    long q = big << k;                 // a long shift
    return r + z + (int)(q >> 40) * 7;
}
