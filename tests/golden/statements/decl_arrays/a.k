class A {
    int x = 4;
    static int s = 9;
    String n;
    int[] arr = {1, 2, 3};
};
int g = 5;
int main(String[] args) {
    byte[] b = {1, 300};
    int[][] m = {{1, 2}, {3}};
    int q = 2;
    int[] p = {q, 4};
    double[] d = {1, 2};
    String[] ss = {"a", "b"};
    int[] n = new int[]{7, 8};
    return 0;
}
