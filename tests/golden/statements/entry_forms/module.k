void _entry(int module, int version) { }
void _exit() { }
