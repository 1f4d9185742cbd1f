void f() {
    for (;;) { }
    for (int i = 0, j = 1; i < j; i++, j--) g(i);
    for (i = 0; ; ) break;
    for (v : list) { }
    for (String s : items) { g(s); }
    for (int i = 0 to 10) { }
    for (i = 1 to n) continue;
    while (a) b();
    do a++; while (b);
}
