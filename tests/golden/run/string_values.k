// expect-result: 419075245
// Strings joined with ints, longs, chars, bools, negative numbers and other
// Strings; their lengths, equality and order; Strings in fields, elements,
// parameters and results.
class Tag {
    public String name;
    public Tag(String n) { name = n; }
    public String label(int k) { return name + "#" + k; }
};
String twice(String s) { return s + s; }
int main(String[] args) {
    int n = -12;
    long big = 5000000000L;
    bool yes = true;
    char c = 'q';
    String a = "x" + n;                 // x-12
    String b = a + big + yes + c;       // x-125000000000trueq
    String e = "" + false + 'Z' + 7;    // falseZ7
    int r = a.length();                 // 4
    r = r * 100 + b.length();           // 419
    r = r * 100 + e.length();           // 41907
    Tag t = new Tag("ab");
    t.name = t.name + 3;                // ab3
    String[] parts = new String[3];
    parts[0] = t.label(9);              // ab3#9
    parts[1] = twice(parts[0]);         // ab3#9ab3#9
    parts[2] = parts[1] + parts[0];
    r = r * 10 + parts[2].length() % 10; // 419075
    int flags = 0;
    if (a == "x-12") flags += 1;
    if (a != "x-12") flags += 2;
    if (parts[0] == t.label(9)) flags += 4;
    if (twice("k") != "kk") flags += 8;
    if (a.equals("x-1" + 2)) flags += 16;
    if (a.compare("x-13") < 0) flags += 32;
    if ("b".compare("abc") > 0) flags += 64;
    if (e.compare("falseZ7") == 0) flags += 128;
    if (b.compare(a) < 0) flags += 256;
    return r * 1000 + flags;
}
