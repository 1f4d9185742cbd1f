import "mylib.dll" {
    int stdcall add(int a, int);
    void log(String text, ...);
    double fastcall scale(double & v, Widget * w);
    long pascal kinds(Class c, Object o, ObjectRef r, Pointer p, Method m, bool b, char c2, byte y, short s, float f);
};
import "mylib.dll" {
    ObjectPtr handle();
};
class Host {
    import {
        int stdcall tick(int n);
    };
};
