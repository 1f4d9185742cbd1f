int a() { return; }
void b() { return 1; }
int c() { return "x"; }
void d() { throw "x"; }
void e(Exception x) { throw x; }
void g(Exception x) throws Exception { throw x; }
int main(String[] args) { return 0; }
