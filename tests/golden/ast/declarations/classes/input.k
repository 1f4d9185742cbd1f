/** A template class */
static final class A<T, U : Base> : public B { int n; };
final static class F : private G { };
class H : protected <I, J> { };
interface I : K { };
enum E { a, b = 2 };
enum Empty { };
package p { public class C { }; protected interface D { }; private enum X { y }; package q { }; };
