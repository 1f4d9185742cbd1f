class B { };
class A : B { void f() { } };
package p { class C { }; };
