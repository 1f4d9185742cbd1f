// expect-throw: MissingKey
// An exception of a class derived from a derived one, made with a message,
// passes a catch of a sibling class and leaves main.
class ConfigError : Exception { public ConfigError(String m) { super(m); } };
class MissingKey : ConfigError { public MissingKey(String k) { super("missing " + k); } };
class BadValue : ConfigError { public BadValue(String v) { super("bad " + v); } };
int check(String key) throws ConfigError {
    try {
        throw new MissingKey(key);
    } catch (BadValue e) {
        return e.getMessage().length();
    }
    return 0;
}
int main(String[] args) { return check("port"); }
