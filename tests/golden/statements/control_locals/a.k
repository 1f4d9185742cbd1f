int main(String[] args) {
    int a = 1; int b = 2; bool r = a < b;
    int n = 3;
    for (int i = 0; i < n; i++) { if (r) continue; }
    for (int k = 0; k < n; k += 2) { if (r) continue; }
    while (a < n) { a++; }
    return 0;
}
