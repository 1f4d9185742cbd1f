// shared by every program
class Shape {
    static int count;
};
