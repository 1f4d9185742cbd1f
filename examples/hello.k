// The smallest korvo program: a class whose static main is the entry point.
class Hello {
    static int main(String[] args) {
        _system_.consoleWrite("hello, korvo (" + args.length + " arguments)\n");
        return 0;
    }
};
