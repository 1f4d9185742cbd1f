// Every array answers its length, wherever it is declared.
int count(String[] names) { // expect warning 324: 已定义但不使用的对象.
    return (int)names.length;
}
int main(String[] args) {
    int[][] grid = new int[2][3];
    long rows = grid.length + grid[0].length;
    return count(args) + (int)rows;
}
