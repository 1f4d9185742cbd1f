package shapes {
    interface Shape {
        double area();
    };
    class Square : Shape {
        double side;
        Square(double s) {
        }
        double area() {
            return side * side;
        }
        static bool operator == (Square other) {
            return true;
        }
        Square operator ++ (int) {
            return this;
        }
        void check(@NotNilptr String name, List<int> values) throws Exception {
        }
    };
};
enum Color {
    RED,
    GREEN,
    BLUE
};
class Node<T> {
    T value;
    Node<T> next;
};
class Lists {
    List<int> first;
    List<int> second;
    Node<String> names;
    Later later;
    Missing missing;
};
class Later {
};
