// No ">" at all: the first operator looked up.
class Id { public int v; };
int main(String[] args) { Map<Id, int> m = new Map<Id, int>(); return 0; }
