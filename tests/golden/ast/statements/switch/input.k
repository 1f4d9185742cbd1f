void f() {
    switch (a) { case 1: case 2: f(); g(); default: }
}
