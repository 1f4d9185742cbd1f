class Greeter {
    public String hello() { return "hello"; }
    public String bye() { return "Goodbye"; }
};
int main(String[] args) {
    Greeter g = new Greeter();
    String a = g.hello();
    String b = "world";
    String c = "hello";
    String d = "Greeter";
    String e = "tab\there";
    return 0;
}
