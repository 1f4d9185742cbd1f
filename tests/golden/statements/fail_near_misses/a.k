// A name missed twice offers the same near misses both times: those the
// scopes held when it was first missed (not the local declared between).
class Counter {
    int total = 0;
    public int run(int limit) {
        int tally = totl + limit;
        int totla = tally;
        return totl + totla;
    }
};
int main(String[] args) { return new Counter().run(args.length); }
