int main(String[] args) {
    int[] arr = new int[3];
    for (int x : arr) { }
    for (String s : args) { }
    int v = 2;
    switch (v) { case 1: case 2: }
    for (int i = 0 to 10) { }
    return 0;
}
