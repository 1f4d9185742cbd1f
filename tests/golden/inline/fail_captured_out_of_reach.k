// A static class has no enclosing instance: the locals an anonymous class
// around it captured are out of its reach, however they are named.
class Task { public int run() { return 0; } };
int make(int base) {
    int extra = 2;
    Task t = new Task() {
        static class Part {
            public int get() { return base; } // expect error: 当前域中无法使用此语法.
            public int more() { return extra + 1; } // expect error: 当前域中无法使用此语法.
        };
        public int run() override { Part p = new Part(); return p.get() + p.more(); }
    };
    return t.run();
}
int main(String[] args) { return make(3); } // expect warning 204: 未使用的参数:args
