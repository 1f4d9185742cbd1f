int main(String[] args) { Util u = new Util(); return 0; }
