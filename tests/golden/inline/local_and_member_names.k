// A local and a member of one name: the lookup lists both, the local first.
// An operand takes the local. An argument takes the first candidate whose
// type is the parameter's exactly: a member of that type wins over a local
// of another, and the local is left unused.
class Holder {
    public String label = "field";
    public int count = 4;
    public void show(String s) {
        s.length();
    }
    public void passes(int label) { // expect warning 204: 未使用的参数:label
        show(label);
    }
    public int shadows(int count) {
        return count + 1;
    }
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    Holder h = new Holder();
    h.passes(3);
    return h.shadows(2);
}
