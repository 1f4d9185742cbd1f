class A<T : B> : public <C, D> { A() { } int operator [ ] (int i) { return i; } };
