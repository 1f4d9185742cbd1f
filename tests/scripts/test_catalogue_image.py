#!/usr/bin/env python3
"""The runtime catalogue as every image carries it: a module compiled twice
gives images equal but for the time stamp (bytes 36 to 43), and the link
names of the catalogue's methods stand among the string resources in the
registry's order, every method once, a nested class under its outer name.
A program that calls catalogue methods, allocates catalogue classes and
instances of the templates (a Map whose key class brings its operators)
also compiles twice to the same bytes."""
import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402
from test_image_format import read_image  # noqa: E402

# Rows of the registry, files/system and network/web classes only, with the
# number of methods each declares itself.
SYSTEM = [("Stream", 40), ("ICrashHandler", 1), ("ISystemSignalHandler", 1), ("Math", 43), ("Base64", 3),
          ("Timer", 5), ("TimerTask", 1), ("Process", 14), ("Crypto", 31), ("ZipEntry", 8), ("ZipFile", 6),
          ("ZipArchive", 12), ("Library", 2), ("Lock", 3), ("ReadWriteLock", 6), ("ReentrantLock", 5),
          ("UnreentrantLock", 5), ("ReentrantReadWriteLock", 8), ("File", 20), ("GZipInputStream", 10),
          ("GZipOutputStream", 7), ("ByteArrayOutputStream", 7), ("Key", 12), ("KeyFactory", 3),
          ("X509Certificate", 22), ("Cipher", 13), ("Signature", 14)]
NETWORK = [("HttpRequest", 23), ("AsyncOutput", 6), ("AsyncInput", 5), ("InetAddress", 7), ("Unsi", 16),
           ("StreamSocket", 31), ("DatagramSocket", 33), ("DatagramSocket/DatagramPacket", 10),
           ("UnsiInput", 6), ("UnsiOutput", 7), ("IRCPEventHandler", 7), ("Website", 19), ("HttpServer", 13),
           ("WebSocketSession", 26), ("HttpServlet", 10), ("HttpServletRequest", 29), ("HttpServletResponse", 9),
           ("RequestParseListener", 1), ("ServletRequestItem", 6)]
ROW_ORDER = ["Stream", "HttpRequest", "AsyncOutput", "AsyncInput", "ICrashHandler", "ISystemSignalHandler",
             "InetAddress", "Unsi", "Math", "Base64", "Timer", "TimerTask", "StreamSocket", "DatagramSocket",
             "DatagramSocket/DatagramPacket", "Process", "Crypto", "ZipEntry", "ZipFile", "ZipArchive", "UnsiInput",
             "UnsiOutput", "IRCPEventHandler", "Library", "Lock", "ReadWriteLock", "ReentrantLock",
             "UnreentrantLock", "ReentrantReadWriteLock", "Website", "HttpServer", "WebSocketSession",
             "HttpServlet", "HttpServletRequest", "HttpServletResponse", "File", "GZipInputStream",
             "GZipOutputStream", "ByteArrayOutputStream", "Key", "KeyFactory", "X509Certificate", "Cipher",
             "Signature", "RequestParseListener", "ServletRequestItem"]
MODULE = b"class M {\n    static int f() {\n        return 0;\n    }\n};\n"
PROGRAM = """class Id {
    public bool operator == (Id o) { return true; }
    public bool operator != (Id o) { return false; }
    public bool operator < (Id o) { return false; }
    public bool operator > (Id o) { return true; }
};
class Quiet : TimerTask { };
int main(String[] args) {
    ByteArrayOutputStream bs = new ByteArrayOutputStream();
    bs.writeInt(Process.StdOut | Crypto.AES_ECB);
    Stream s = bs;
    Map<Id, String> m = new Map<Id, String>();
    List<int> l = new List<int>();
    new Timer().schedule(new Quiet(), 10);
    StringBuffer sb = new StringBuffer();
    sb.append(Math.PI);
    return (int)s.length() + sb.toString().length();
}
""".encode("utf-8")


def owner_of(link):
    """"/int@/Stream/read(/byte[],/int,/int)" -> "Stream"."""
    head = link.split("(", 1)[0]
    if "@" in head:
        head = head.rsplit("@", 1)[1]
    return head.rsplit("/", 1)[0].lstrip("/")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    probe = Probe(build)
    check = probe.check
    with tempfile.TemporaryDirectory(prefix="korvo-catalogue-") as work:
        for name, text in (("m.k", MODULE), ("p.k", PROGRAM)):
            with open(os.path.join(work, name), "wb") as f:
                f.write(text)
        compiled = {}
        for source, options in (("m.k", ["-slk"]), ("p.k", [])):
            images = []
            for out in ("a.kb", "b.kb"):
                done = subprocess.run([os.path.join(build, "korvo")] + options + ["-c", source, "-o", out],
                                      cwd=work, capture_output=True, timeout=120)
                check(done.returncode == 0, "compile %s to %s: status %d" % (source, out, done.returncode))
                check("注册方法错误".encode("utf-8") not in done.stdout, "a registration was refused")
                images.append(open(os.path.join(work, out), "rb").read() if done.returncode == 0 else b"")
            a, b = images
            check(len(a) == len(b) and a[:36] == b[:36] and a[44:] == b[44:],
                  "%s: two compiles differ beyond 36..43" % source)
            compiled[source] = a
    a = compiled["m.k"]
    if probe.failures:
        probe.finish("catalogue image")
    links = [payload.decode("utf-8") for _, kind, payload in read_image(a)["resources"] if kind == 0]
    first, count = {}, {}
    for i, link in enumerate(links):
        owner = owner_of(link)
        first.setdefault(owner, i)
        count[owner] = count.get(owner, 0) + 1
    for name, methods in SYSTEM + NETWORK:
        check(count.get(name) == methods, "%s: %s method link names, want %d" % (name, count.get(name), methods))
    check(count.get("DatagramPacket") is None, "DatagramPacket named without its outer class")
    check(sum(count.get(n, 0) for n, _ in SYSTEM) == 302, "files and system: 302 methods")
    check(sum(count.get(n, 0) for n, _ in NETWORK) == 264, "network and web: 264 methods")
    order = [first.get(name, -1) for name in ROW_ORDER]
    check(order == sorted(order), "method records out of the registry's order: %s" %
          [name for name, at in zip(ROW_ORDER, order) if at == -1 or at < max(order[:ROW_ORDER.index(name) + 1])])
    probe.finish("catalogue image")


if __name__ == "__main__":
    main()
