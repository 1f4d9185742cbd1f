oid f() { f;(ro );}
void f() { f;(ro );}
