// String sums and an operator method of a class: each "+" is a call of the
// operator's one overload, its left operand holding the code of the whole sum
// so far, its operands reached through fields and calls.
class Box {
    public String name = "box";
    public Box next;
    public Box operator + (Box other) { return other; }
    public String tag(int n) { return name + n; }
};
class Main {
    static int main(String[] args) {
        Box b = new Box();
        b.next = new Box();
        int k = args.length;
        String s = "a" + k + "b" + b.next.name + b.tag(k + 1) + 'c' + 2.5 + b.next.tag(3) + args.length;
        Box c = b + b.next + b;
        String t = "x" + (c.name + s).length() + s;
        return t.length();
    }
};
