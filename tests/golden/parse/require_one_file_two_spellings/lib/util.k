class Util {
    public static int twice(int v) { return v * 2; }
};
