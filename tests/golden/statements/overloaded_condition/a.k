class Num { public int v; public bool operator < (Num o) { return v < o.v; } };
int pick(Num a, Num b) { if (a < b) return 1; return 2; }
int main(String[] args) { return pick(new Num(), new Num()); }
