// A link library of two classes; mathlib.kdef chooses what it exports.
package mathlib {
    public class Ops {
        public static int square(int value) { return value * value; }
    };
    public class Internal {
        public static int seed() { return 7; }
    };
};
