x = new A(1);
x = new A<B>(c) { void run() { } };
x = new A() { };
x = new int[3][4];
x = new String[] {"a", "b"};
x = new int[][] {{1}, {2}};
x = { 1, 2 };
