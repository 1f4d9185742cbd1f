void f() {
    if (a) b(); else { c(); d(); }
    if (a) { }
    synchronized (lock) { }
    synchronized_read (this.lock) { a(); }
    synchronized_write (lock) { b(); }
    return;
}
int g() { class L { }; ; int x = 1; return x; }
