// Stores fused into the load of their target: "=" on a String field is
// mov_propa, "++" and "+=" on an int field binc_prop and add_prop (operand 1,
// the member slot, typed by the field), "=" on a double element
// mov_elem double, "--" on a long element bdec_elem, "+=" on an int element
// add_elem (operand 1, the index, typed by the element).
class P {
    public String name;
    public int n;
};
void setName(P p, String s) { p.name = s; }
void bump(P p) { p.n++; }
void addTo(P p, int k) { p.n += k; }
void setD(double[] d, int i) { d[i] = 1.5; }
void dec(long[] d, int i) { d[i]--; }
void addE(int[] a, int i, int v) { a[i] += v; }
int main(String[] args) { return 0; }
