static const int a = 1, b;
class C {
    @NotNilptr public String s;
    protected int n = 2;
    const long m;
};
