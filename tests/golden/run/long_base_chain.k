// expect-result: 1201
// A chain written subclass first, each class waiting for its base to be
// declared; constructing climbs past the bases that declare no
// constructor to the nearest one that does, which runs its own base's.
int made = 0;
class C20 : C19 { };
class C19 : C18 { };
class C18 : C17 { };
class C17 : C16 { };
class C16 : C15 { };
class C15 : C14 { };
class C14 : C13 { };
class C13 : C12 { };
class C12 : C11 { };
class C11 : C10 { };
class C10 : C9 { public C10() { made = made * 10 + 2; } };
class C9 : C8 { };
class C8 : C7 { };
class C7 : C6 { };
class C6 : C5 { };
class C5 : C4 { };
class C4 : C3 { };
class C3 : C2 { };
class C2 : C1 { };
class C1 : C0 { };
class C0 { public C0() { made = made * 10 + 1; } };
int main(String[] args) {
    C20 a = new C20();
    int first = made;
    made = 0;
    C5 b = new C5();
    return first * 100 + made;
}
