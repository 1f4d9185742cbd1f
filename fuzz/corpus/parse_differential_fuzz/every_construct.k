// A program that uses every construct of the language at least once.
include("util.k", "more.k")
require("runtime.k")

using {
    korvo.lang;
    korvo.io.File;
};

@Declare class Declared { };

import "kernel32.dll" {
    int stdcall GetTickCount();
    void cdecl Sleep(int ms);
    int fastcall Mixed(char * name, int & out, int % mod, int / div, handle h, ...);
    long pascal Legacy(int);
};

import { };

static const int LIMIT = 100, SECOND = 2;
String greeting = "hello";

@Deprecated
@SuppressWarnings(value = unused, level = 3, all)
int helper(@Compiler int a, String, int[] values) throws Exception, IllegalArgumentException {
    return a;
}

stdcall int callback(int code) { return code; }

<T> T identity(T value) { return value; }

package app {
    public class Inner { };
    @Deprecated private enum Level { LOW, HIGH = 5 };
    protected interface Listener { void heard(); };
    package nested {
        final class Deep { };
    };
};

package empty { };

interface Shape : public Named {
    @Deprecated double area();
    static String kind() throws Exception;
    final static bool operator == (Shape other);
    interface Visitor { void visit(Shape s); };
};

final enum Color : public Base { RED, GREEN = 1 + 1, BLUE };

enum Empty { };

final static class Holder<T : Comparable, U> : public <Base<T>, Mixin> {
    public static int count = 0;
    private T[] items;
    const int size;

    Holder() { }
    Holder(int capacity) throws OutOfMemory { this.size = capacity; }
    Holder(String name);

    static final int twice(int v) { return v * 2; }
    final int once(int v) override throws Exception { return v; }
    pascal int old(int v) { return v; }
    <V> V convert(V v) { return v; }
    void declared(int a);

    Holder operator + (Holder other) { return this; }
    T operator [ ] (int index) { return items[index]; }
    static bool operator < (Holder other) override { return false; }
    <X> X operator * (X x) { return x; }

    import "libc.so" { int puts(char * s); };
    long native_time(long * t);

    class Nested : Base { };
    enum Mode { ON, OFF };
    interface Callback { void call(int x); };
    @Deprecated public int tagged;
};

class Derived : private List<String> {
    void work(List<String> list, Map<String, List<int>> deep) {
        int a = 1, b = 2, c;
        c = a + b * c - a / b % c;
        c += a << b >> c;
        c -= a >  > b;
        bool p = a < b && b <= c || !(a >= c) && a > b;
        p = a == b != p;
        c = a & b | c ^ ~a;
        c = -a + +b;
        c = ++a - --b;
        a++;
        b--;
        c = p ? a : b;
        String s = (String) list.get(0);
        int[] arr = (int[]) holder;
        c = arr[0] + arr[a][b] + f(a)[0] + g().h()[1].k;
        s = "abc".length;
        s = 'x' + 0x1F + 0x10L + 42L + 3.5 + .5f + 1e5;
        s = a.operator+(b);
        s = a.operator[](b);
        call(&a, b);
        Holder<int, String> h = new Holder<int, String>(3);
        int[][] grid = new int[3][4];
        String[] names = new String[] {"a", "b"};
        Runnable r = new Runnable() {
            void run() { }
        };
        Object o = new Object();
        o = new A().b;
        x = (f)(a);
        int[] init = {1, 2, 3};
        this.items = super.items;
        a = b = c;

        synchronized (this.lock) { a = 1; }
        synchronized_read (lock) { }
        synchronized_write (lock) { b = 2; }

        if (a) b(); else c();
        if (a) { } else if (b) { } else { }
        if (a) { }

        for (String item : list) { print(item); }
        for (item : list) print(item);
        for (int i = 0 to 10) { }
        for (i = 0 to 10) continue;
        for (int i = 0, j = 1; i < j; i++, j--) { }
        for (i = 0; i < 3; i++) { break; }
        for (;;) { break; }

        while (a < b) a++;
        do { a--; } while (a > 0);
        do a++; while (b);

        switch (a) {
        case 1:
        case 2:
            f();
            break;
        default:
        }

        try { risky(); }
        catch (IOException e) { }
        catch (Exception e) { throw e; }
        finally { cleanup(); }
        try { }

        class Local { };
        ;

        final int local(int x) { return x; }
        stdcall int other() { }

        static const int N = 5;
        return;
    }
};

main();
@Deprecated run(1, 2);
