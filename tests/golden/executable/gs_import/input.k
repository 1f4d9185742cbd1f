import "lib/net.dll" {
    int stdcall connect(String host, int port);
    void close(ObjectPtr handle);
};
class Host {
    import {
        bool ready();
    };
};
