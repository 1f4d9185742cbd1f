class Numbers : List<int> { };
void lists(List<int> l, int x) { for (x : l) { } }
void maps(Map<int, String> m, int x) { for (x : m) { } }
void vectors(Vector<String> v, String x) { for (x : v) { break; } }
void derived(Numbers l, int x) { for (x : l) { } }
int main(String[] args) { return 0; }
