// Element loads, the registers saved around code that may overwrite them,
// typed plain stores and an array allocation:
//   load: a[i], its value in eax, stored with a plain mov (same type);
//   sum: a[i] + a[j]: the left element is pushed, popped into ecx after the
//        right one, and ecx is the add's first operand;
//   nested: an index in eax before the member load of the array: pushed,
//        popped into ecx, ecx the index operand;
//   widen: int into byte is "mov byte";
//   fromEax: a value in eax before the target's own code: pushed, popped
//        into ebx just before the fused element store;
//   make: new int[3]: the element type, its type code 4, the dimension, one
//        alloc array.
class P {
    public int[] arr;
};
void load(int[] a, int i, int v) { v = a[i]; }
void sum(int[] a, int i, int j, int v) { v = a[i] + a[j]; }
void nested(P p, int[] b, int i, int v) { v = p.arr[b[i]]; }
void widen(byte b, int v) { b = v; }
void fromEax(P p, int[] a, int i) { p.arr[i] = a[i]; }
void make(int[] a) { a = new int[3]; }
int main(String[] args) { return 0; }
