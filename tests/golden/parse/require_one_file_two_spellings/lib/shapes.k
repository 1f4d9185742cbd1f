require("util.k")

class Shape {
    public int area() { return Util.twice(3); }
};
