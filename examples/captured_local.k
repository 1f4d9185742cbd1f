// expect-result: 1010
// An anonymous class keeps a copy of the locals it names, taken when the
// object is made: the object does not see the later change of `step`.
class Counter {
    public int next() { return 0; }
};

int main(String[] args) {
    int step = 10;
    Counter counter = new Counter() {
        public int next() override { return step; }
    };
    step = 1000;
    return counter.next() + step;
}
