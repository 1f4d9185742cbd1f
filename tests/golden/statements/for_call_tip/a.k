void advised(int i) { for (; i < count(); ) { } }
@SuppressWarnings
void quiet(int i) { for (; i < count(); ) { } }
int main(String[] args) { return 0; }
