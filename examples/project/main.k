// A program of three files: include() and require() name a file relative
// to the current folder, then to each -incpath folder. Neither takes a ';'.
include("lib/util.k")
include("lib/shapes.k")

using { geometry; };

int main(String[] args) {
    Square square = new Square(3);
    _system_.consoleWrite("area " + square.area() + "\n");
    return args.length;
}
