class Common {
    public int measure(int a, String s) {
        names.add(s, (a | 3);
        return (acc).b;
    }
};
