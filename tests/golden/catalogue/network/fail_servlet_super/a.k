// HttpServlet has no constructor taking one String.
class Page : HttpServlet {
    public Page() { super("hello"); }
};
int main(String[] args) { return 0; }
