bool land(bool a, bool b) { return a && b; }
bool lor(bool a, bool b) { return a || b; }
int ifelse(int a, int b) { if (a < b) return 1; else return 2; }
void ifempty(bool c) { if (c) { } }
int choice(int a, int b) { return a > b ? a : b; }
void whileloop(int a, int b) { while (a != b) { if (a == 1) break; continue; } }
void dowhile(int a, int b) { do { continue; } while (a <= b); }
void forgeneral(int a, int b) { for (; a >= b; ) { continue; } }
void forever() { for (;;) { } }
void fastfor(int i, int n) { for (; i < 10; i++) { } }
void fastdown(int i, int n) { for (; i != n; --i) { break; } }
void foreach(int[] arr, int x) { for (x : arr) { continue; } }
int dense(int v) { switch (v) { case 1: return 10; case 2: case 3: return 30; case 5: break; } return 0; }
int sparse(int v) { switch (v) { case 7: return 7; case -5: return 5; default: return 0; } }
int strings(String s) { switch (s) { case "a": return 1; case "b": return 2; } return 0; }
bool less(int a, int b) { return a < b; }
void range(int x, int n) { for (x = 1 to n) { break; } }
void count(int x, int n) { for (x : n) { return; } }
int andif(bool a, bool b) { if (a && b) return 1; return 0; }
int main(String[] args) { return 0; }
