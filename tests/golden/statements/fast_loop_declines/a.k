class Box { public int n; };
void loadedBound(Box o, int i) { for (; i < o.n; i++) { } }
void steppedByTwo(int i, int n) { for (; i < n; i += 2) { } }
int main(String[] args) { return 0; }
