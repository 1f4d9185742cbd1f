// expect-result: 31115117
// A static read before its initialiser has run reads its type's zero
// (0, false, nilptr), at the top level and in a class; a method is called on
// an object a static field holds; main's args is an empty array.
class Box { public int v; public int get() { return v + 1; } };
class Counts {
    public static int first = second + 1;
    public static int second = 5;
};
int early = late + 5;
long earlyLong = lateLong * 2 + 1;
bool earlyFlag = !lateFlag;
Box earlyBox = lateBox;
int late = 40;
long lateLong = 7;
bool lateFlag = true;
Box lateBox = new Box();
int main(String[] args) {
    int r = early + (int)earlyLong * 10 + Counts.first * 100 + Counts.second * 1000;
    if (earlyFlag) r += 10000;
    if (earlyBox == nilptr) r += 100000;
    if (lateBox != nilptr) r += 1000000 + lateBox.get() * 2;
    if (args != nilptr) r += args.length * 20000000 + 30000000;
    for (String s : args) r += 1;
    return r;
}
