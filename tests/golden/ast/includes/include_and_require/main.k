include("lib/shapes.k")
require("lib/shapes.k")
class Main {
    /* the entry */
    static int main(String[] args) { return Shape.count; }
};
