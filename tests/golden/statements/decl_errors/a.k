enum E { A = 1.5 };
class C {
    static int x = 1;
    enum F { B = x };
};
int main(String[] args) {
    int a = 1, a = 2;
    var v;
    const int c;
    void z;
    Missing m;
    int s = "text";
    int w = {1};
    var b = {1};
    int String = 0;
    int self = self;
    var i = 1, t = "text";
    int[] r = new Nope[]{1};
    return 0;
}
