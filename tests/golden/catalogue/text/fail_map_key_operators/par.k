// ">" takes an unrelated class.
class Other { };
class Id {
    public int v;
    public bool operator > (Other o) { return true; }
};
int main(String[] args) { Map<Id, int> m = new Map<Id, int>(); return 0; }
