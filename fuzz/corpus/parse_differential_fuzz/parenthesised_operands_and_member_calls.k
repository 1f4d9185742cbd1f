class Common {
    protected List<String> names = new List<String>();
    public int measure(int a, int b, String s) {
        names.add(s);
        names.add(s + (a | 3));
        int acc = ((0xCC4 ^ a) + (b & (12 | a))) * (s.length() - 2);
        acc += ((a)) + (1) - ("x").length() + (names.size() << (a >> 2));
        acc ^= (int) a + (acc) * (b) / ((a + 1) % (2 + b));
        acc -= (a < b) == (b > a) ? (1) : (b >= 3 ? 2 : 4);
        s.length();
        this.measure((a), (1 + b), (s));
        acc = (new List<int>()).size() + (s).length() + (a.b)[0] + (c)(d);
        for (int i = (0); i < (a & 7); i += (1)) acc += names.get(i).length();
        return (acc);
    }
};
