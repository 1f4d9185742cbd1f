// require() reads util.k only if the compilation does not hold it already;
// include() would read it a second time and declare Util twice.
require("util.k")

package geometry {
    // A class in a package is private to it unless it is public.
    public class Square {
        int side;                   // no access word: private to Square
        public Square(int length) { side = Util.twice(length); }
        public int area() { return side * side; }
    };
};
