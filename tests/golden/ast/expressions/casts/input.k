x = (int) a;
x = (int[]) b;
x = (T) (a);
x = (a) - b;
