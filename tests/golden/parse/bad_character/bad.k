class A {
  int x = 1 # 2;
};
