// A TimerTask that overrides nothing is a TimerTask: run has a stub, so
// Quiet is not abstract; schedule with two and three arguments.
class Quiet : TimerTask {
};
int main(String[] args) {
    Timer t = new Timer();
    t.schedule(new Quiet(), 10);
    t.schedule(new Quiet(), 10, 20);
    return 0;
}
