class A {
    public bool operator == (A o) { return true; }
};
void h(A a, A b) { a == b; }
int main(String[] args) { return 0; }
