class App {
    static int main(String[] args) { return 0; }
};
