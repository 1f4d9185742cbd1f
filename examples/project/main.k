// A program of three files: include() and require() look a name up as
// written (from the current folder), then in the folder korvo is in, the
// current folder, each -incpath folder and the folders of the files read so
// far. Neither takes a ';'.
include("lib/util.k")
include("lib/shapes.k")

using { geometry; };

int main(String[] args) {
    Square square = new Square(3);
    _system_.consoleWrite("area " + square.area() + "\n");
    return args.length;
}
