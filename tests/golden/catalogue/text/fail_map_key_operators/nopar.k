// ">" without a parameter: a mismatch, never a read past its list.
class Id {
    public int v;
    public bool operator > () { return true; }
};
int main(String[] args) { Map<Id, int> m = new Map<Id, int>(); return 0; }
