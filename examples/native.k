// Native imports: a module's functions, and a class's own native methods.
// -gs writes the C++ sources that implement them, one file per module.
import "lib/net.dll" {
    int stdcall connect(String host, int port);
    void close(ObjectPtr handle);
};

class Host {
    import {
        bool ready();
    };
};
