class A {
  int x;
};
