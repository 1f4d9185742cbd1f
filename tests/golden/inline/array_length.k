// Every array answers its length, wherever it is declared.
int count(String[] names) {
    return (int)names.length;
}
int main(String[] args) {
    int[][] grid = new int[2][3];
    long rows = grid.length + grid[0].length;
    return count(args) + (int)rows;
}
