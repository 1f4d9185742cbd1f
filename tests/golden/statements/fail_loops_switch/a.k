class Holder {
    int field;
    void onField(int[] items) { for (field : items) { } }
};
void mismatch(int[] items, String s) { for (s : items) { } }
void floating(double d, int x) { for (x : d) { } }
void undefined(int[] items) { for (nothere : items) { } }
int repeated(int v) { switch (v) { case 3: return 1; case 3: return 2; } return 0; }
int notconst(int v, int w) { switch (v) { case w: return 1; } return 0; }
int wrongtype(int v) { switch (v) { case 1.5: return 1; } return 0; }
int classcase(int v) { switch (v) { case String: return 1; } return 0; }
int wrongselector(double d) { switch (d) { case 1: return 1; } return 0; }
void wrongelement(List<String> l, int x) { for (x : l) { } }
int main(String[] args) { return 0; }
