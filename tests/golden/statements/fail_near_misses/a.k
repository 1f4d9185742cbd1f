// Near misses list what the scopes hold when the name is looked up: the
// second `totl` also offers the local declared after the first.
class Counter {
    int total = 0;
    public int run(int limit) {
        int tally = totl + limit;
        int totla = tally;
        return totl + totla;
    }
};
int main(String[] args) { return new Counter().run(args.length); }
