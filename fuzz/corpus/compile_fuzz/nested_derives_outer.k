// A nested class deriving from its outer class holds itself among its
// inherited members: the class signature walk must end.
class Outer {
    int n;
    class Inner : Outer {
    };
};
