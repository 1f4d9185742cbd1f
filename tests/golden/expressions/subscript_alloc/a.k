// new int[2][3]: the element type and its type code 4 from the inner level,
// then each dimension, one alloc array; new int[x] pushes the variable;
// m[1][2] loads twice, the second time from eax (an immediate index needs
// no saving).
void f(int[] a, int x, int[][] m) {
    m = new int[2][3];
    a = new int[x];
    x = m[1][2];
}
int main(String[] args) { return 0; }
