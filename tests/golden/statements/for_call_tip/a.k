int count() { return 3; }
void advised(int i) { for (; i < count(); i++) { } }
@SuppressWarnings
void quiet(int i) { for (; i < count(); i++) { } }
int main(String[] args) { advised(0); quiet(0); return 0; }
