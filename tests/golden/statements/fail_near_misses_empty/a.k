// A name first missed when its scopes held nothing offers nothing when it
// is missed again, though a close name was declared in between.
class Counter {
    public int run() {
        int tally = totl;
        int total = tally;
        return totl + total;
    }
};
int main(String[] args) { return new Counter().run(); }
