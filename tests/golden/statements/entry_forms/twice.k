class App {
    static int main(String[] args) { return 0; }
};
int main(String[] args) { return 0; }
