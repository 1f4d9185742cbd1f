// Two ">": the first fits, so the choice is ambiguous.
class Id {
    public int v;
    public bool operator > (Id o) { return true; }
    public bool operator > (String o) { return true; }
};
int main(String[] args) { Map<Id, int> m = new Map<Id, int>(); return 0; }
