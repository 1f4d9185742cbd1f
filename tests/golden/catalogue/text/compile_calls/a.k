// Catalogue calls list their slots; a key class's comparison operators are
// declared ==, !=, <, > and pushed as >, <, ==, !=.
class Id {
    public bool operator == (Id o) { return true; }
    public bool operator != (Id o) { return false; }
    public bool operator < (Id o) { return false; }
    public bool operator > (Id o) { return true; }
};
int main(String[] args) {
    String s = "abc";
    StringBuffer sb = new StringBuffer();
    int n = s.length();
    sb.trim(true);
    String t = sb.toString();
    Map<int, String> m = new Map<int, String>();
    Map<Id, int> k = new Map<Id, int>();
    List<int> l = new List<int>();
    List.Iterator<int> it = l.iterator();
    return n;
}
