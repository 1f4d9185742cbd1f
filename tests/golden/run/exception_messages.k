// expect-result: 1111111
// Exception classes of a program hand their message to the catalogue's
// constructors and read it back with getMessage: through the class itself,
// a class derived from a derived one, a catch clause of a base class, a
// class derived from a catalogue subclass; catalogue classes made with a
// message, one made without (nilptr) and the message field read directly.
class ConfigError : Exception { public ConfigError(String m) { super(m); } };
class MissingKey : ConfigError {
    public String key;
    public MissingKey(String k) { super("missing " + k); key = k; }
};
class Late : TimeoutException { public Late(String m) { super(m); } };
class Quiet : Exception { public Quiet() { } };
int load(int which) throws ConfigError {
    if (which == 1) throw new ConfigError("bad port");
    if (which == 2) throw new MissingKey("host");
    return 0;
}
int main(String[] args) {
    int r = 0;
    try { load(1); } catch (ConfigError e) { if (e.getMessage() == "bad port") r += 1; }
    try { load(2); } catch (MissingKey e) {
        if (e.getMessage() == "missing host" && e.key == "host") r += 10;
    }
    try { load(2); } catch (Exception e) {
        String m = e.getMessage();
        if (m.length() == 12 && m != "bad port") r += 100;
    }
    try { throw new Late("after " + 3 + "s"); } catch (TimeoutException e) {
        if (e.getMessage() == "after 3s") r += 1000;
    }
    Quiet q = new Quiet();
    Object none = q.getMessage();
    if (none == nilptr) r += 10000;
    RuntimeError deep = new RuntimeError("deep");
    IOException io = new IOException();
    none = io.getMessage();
    if (deep.getMessage() == "deep" && none == nilptr) r += 100000;
    Exception plain = new Exception("plain");
    if (plain.message == "plain" && plain.getMessage() == plain.message) r += 1000000;
    return r;
}
