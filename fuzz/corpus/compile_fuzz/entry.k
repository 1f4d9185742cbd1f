int f() { return 1; }
int main(String[] args) { return 0; }
