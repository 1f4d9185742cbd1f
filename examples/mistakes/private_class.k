// Circle has no access word, so it is private to its package: main cannot
// see it, and the error inside main also costs the program its entry point.
package shapes {
    class Circle {
        public int radius;
        public Circle(int length) { radius = length; }
    };
};

using { shapes; };

int main(String[] args) {
    Circle circle = new Circle(2);
    return circle.radius + args.length;
}
