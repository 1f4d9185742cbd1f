void f() {
    try { } finally { }
    try { a(); } catch (E e) { } catch (F f) { b(); } finally { c(); }
    try { } catch (E e) { throw e; }
}
