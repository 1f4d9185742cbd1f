// `override` follows the parameter list: `public int area() override {`.
// Put before the type, as other languages do, it is a syntax error.
class Shape {
    public int area() { return 0; }
};

class Square : Shape {
    public override int area() { return 9; }
};

int main(String[] args) {
    Shape shape = new Square();
    return shape.area();
}
