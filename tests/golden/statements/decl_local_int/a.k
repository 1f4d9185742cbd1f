int main(String[] args) {
    int a = 1;
    return 0;
}
