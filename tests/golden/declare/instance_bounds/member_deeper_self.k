// A field naming a deeper instance of its own template.
class T<X> {
    public T<T<X>> next;
};
int main(String[] args) { T<int> t = new T<int>(); return t.next == nilptr ? 0 : 1; }
