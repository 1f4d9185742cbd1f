class A {
}
