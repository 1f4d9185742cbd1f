// "./lib/util.k" here and "util.k" found in lib/ below name one file: the
// require finds it held already and it is parsed once.
include("./lib/util.k", "lib/shapes.k")

int main(String[] args) {
    Shape shape = new Shape();
    return shape.area() + Util.twice(1);
}
