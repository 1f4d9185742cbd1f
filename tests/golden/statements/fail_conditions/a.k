bool notbool(bool a, int i) { return a && i; }
bool leftnotbool(int i, bool b) { return i || b; }
void condnotbool(int i) { if (i) { } }
void nosingle() { while (String) { } }
int choicetypes(bool c) { return c ? 1 : "s"; }
int main(String[] args) { return 0; }
