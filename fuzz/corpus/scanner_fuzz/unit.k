package p {
  class A : public B<C<D>> { int f(int a) { return a>>=2 ? 0x1fL : 1.5e-3f; } };
};
