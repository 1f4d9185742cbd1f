// Nested bases refused. A class nested in a class derives from a nested
// class of another class, which its own enclosing class does not derive
// from: the base's code would read the wrong enclosing instance. A class
// nested in its base, or in a class its base derives from, would take the
// base's members before they are all declared: its base is never found.
class Task { public int run() { return 0; } };
class Town {
    public int pop = 1000;
    public class Census { public int total() { return pop; } };
    class Street {
        class Block : Census { }; // expect error: 无法继承非静态内部类: 基类的外部类为 Town, 派生类的外部类 Street 不是该类或其子类.
    };
    public int made() {
        Task t = new Task() {
            class Part : Census { }; // expect error: 无法继承非静态内部类: 基类的外部类为 Town, 派生类的外部类 Task 不是该类或其子类.
        };
        return t.run();
    }
};
class Box { // expect warning 324: 已定义但不使用的对象.
    public int w = 3;
    class Crate : Box { }; // expect error: 找不到基类型
    class Shelf {
        class Tray : Box { }; // expect error: 找不到基类型
    };
};
class Lidded<T> : Bin { };
class Bin {
    public int n = 1;
    class Cup : Lidded<int> { }; // expect error: 找不到基类型
};
int main(String[] args) { // expect warning 204: 未使用的参数:args
    Town t = new Town();
    return t.made();
}
