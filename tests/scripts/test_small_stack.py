#!/usr/bin/env python3
"""A compilation given a small stack (korvo-probe stack BYTES) bounds the
nesting of declared bodies and of statements by the stack it has: a program
nested deeper than that ends in the depth message and status 1, never in an
overflow; on a stack of the size the compiler asks for, the same programs
compile. The programs are legal at the usual bounds: statements 250 deep, a
chain of 250 template instances each declaring the next, nested try-finally
blocks. Chains of 3000 template instances, each the base of the one before
(the first named by a field, whose chain the declaration pass makes, or by a
local, whose chain the compile pass makes), lie past the bounds on every
stack."""
import argparse
import os
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402

MAIN = "class Main {\n    static int main(String[] args) {\n        int x = 0;\n%s\n        return x;\n    }\n};\n"
BASES = "".join("class T%d<X> : T%d<X> { };\n" % (i, i + 1) for i in range(3000)) + "class T3000<X> { X last; };\n"
PROGRAMS = {
    "blocks.k": MAIN % ("{" * 250 + "x = 1;" + "}" * 250),
    "finally.k": MAIN % ("try {" * 60 + "x = 1;" + "} finally { x = 2; }" * 60),
    "instances.k": "class U { T0<int> start; };\n"
                   + "".join("class T%d<X> { T%d<X> next; };\n" % (i, i + 1) for i in range(250))
                   + "class T250<X> { X last; };\n" + MAIN % "",
}
PAST_BOUNDS = {
    "bases.k": "class U { T0<int> start; };\n" + BASES + MAIN % "",
    "local_bases.k": BASES + MAIN % "        T0<int> t = new T0<int>();",
}
DEPTH_MESSAGES = ("语法嵌套过大".encode(), "展开过大".encode(), "语法栈溢出".encode())
OVERFLOW = "堆栈空间不足,编译中断".encode()
SMALL = [512 << 10, 1 << 20, 2 << 20, 4 << 20, 8 << 20]
ENOUGH = 64 << 20


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    probe = Probe(os.path.abspath(parser.parse_args().bin))
    with tempfile.TemporaryDirectory(prefix="korvo-stack-") as folder:
        for name, text in list(PROGRAMS.items()) + list(PAST_BOUNDS.items()):
            source = os.path.join(folder, name)
            with open(source, "w") as f:
                f.write(text)
            output = os.path.join(folder, "out.kb")
            for size in SMALL + [ENOUGH]:
                status, out = probe.run("stack", str(size), "-c", source, "-o", output)
                where = "%s on %d bytes" % (name, size)
                probe.check(OVERFLOW not in out, where + ": the stack overflowed")
                if name in PAST_BOUNDS:
                    probe.check(status == 1 and any(m in out for m in DEPTH_MESSAGES),
                                where + ": status %d without a depth message" % status)
                elif size == ENOUGH:
                    probe.check(status == 0, where + ": not compiled (status %d)" % status)
                else:
                    probe.check(status == 0 or (status == 1 and any(m in out for m in DEPTH_MESSAGES)),
                                where + ": status %d without a depth message" % status)
    probe.finish("small stack")


if __name__ == "__main__":
    main()
