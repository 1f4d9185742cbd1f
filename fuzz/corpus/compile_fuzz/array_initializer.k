// Initialisers share one provisional array type, freed with the others.
void f() {
    int[] a = { 1, 2 };
    int[][] b = {{1}, {2, 3}};
    x = { 1, 2 };
}
