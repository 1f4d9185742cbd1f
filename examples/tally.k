// A small korvo program: a class with a constructor and methods, a loop,
// and calls into the runtime library (Math, String, _system_).
class Tally {
    int total;                      // no access word: private to Tally

    public Tally() { total = 0; }

    public void add(int value) { total += Math.abs(value); }

    public int sum() { return total; }
};

int main(String[] args) {
    Tally tally = new Tally();
    for (int i = -3; i <= 3; i++) {
        tally.add(i * i * i);
    }
    String report = "sum of |i^3| for i in -3..3: " + tally.sum() + "\n";
    _system_.consoleWrite(report.upper());
    return args.length == 0 ? 0 : 1;
}
