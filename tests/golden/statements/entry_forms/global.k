int main(String[] args) { return 0; }
