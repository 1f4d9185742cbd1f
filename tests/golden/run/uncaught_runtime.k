// expect-throw: IndexOutOfBoundsException
// An index outside an array that no catch takes leaves main through a
// finally block and a catch of another class.
int g = 0;
int at(int[] a, int i) {
    try { return a[i]; } catch (DivByZeroException e) { return -1; } finally { g++; }
    return 0;
}
int main(String[] args) { int[] a = new int[2]; return at(a, 2); }
