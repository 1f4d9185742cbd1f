// ">" returns a class that takes no bool (the declaration pass objects too).
class Id {
    public int v;
    public Id operator > (Id o) { return o; }
};
int main(String[] args) { Map<Id, int> m = new Map<Id, int>(); return 0; }
