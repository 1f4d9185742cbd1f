#!/usr/bin/env python3
"""Class records and native import tables that `korvo-probe model` encodes,
read back with struct readers written from the record tables: the class
record (opcode 154, nine operands, the type code at 112, then five
containers), operand 1 = (signature hash << 32) | size, the signature hash
as zlib's CRC-32 of the class's link name followed by its members' link
names in table order; the "NATIVE IMPORT" record with its modules and their
128-byte function entries holding the 48-byte bindings."""
import argparse
import os
import random
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402

TYPES = ["int", "long", "String", "bool", "double", "Object"]
TABLES = ["dynmethods", "statmethods", "dynprops", "statprops"]


def read_container(image, at):
    """The container at `at`: (kind, [(tag, entry size)]), and where it ends."""
    kind, count = struct.unpack_from("<II", image, at)
    at += 8
    entries = []
    for _ in range(count):
        tag, = struct.unpack_from("<I", image, at)
        size = 64
        if tag == 23:
            opcode, = struct.unpack_from("<I", image, at + 32)
            size += 64 if opcode == 3 else 32
        entries.append((tag, size))
        at += size
    return kind, entries, at


def check_classes(probe, rng):
    for n in range(12):
        name = "C%d" % n
        lines = ["class %s" % name]
        counts = {"m": rng.randrange(0, 4), "s": rng.randrange(0, 3), "p": rng.randrange(0, 4), "q": rng.randrange(0, 3)}
        anonymous = rng.randrange(0, 3)
        for i in range(counts["m"]):
            lines += ["fn m%d %s %s" % (i, rng.choice(TYPES), name), "meth %s m%d" % (name, i)]
        for i in range(counts["s"]):
            lines += ["fn s%d %s %s" % (i, rng.choice(TYPES), name), "set s%d static" % i, "meth %s s%d static" % (name, i)]
        for i in range(counts["p"]):
            lines += ["var p%d %s %s" % (i, rng.choice(TYPES), name), "prop %s p%d" % (name, i)]
        for i in range(counts["q"]):
            lines += ["var q%d %s %s" % (i, rng.choice(TYPES), name), "prop %s q%d static" % (name, i)]
        for i in range(anonymous):
            lines += ["class X%d_%d" % (n, i), "set X%d_%d anonymous" % (n, i), "member %s X%d_%d" % (name, n, i)]
        position = rng.randrange(1, 1 << 20) * 4
        lines += ["members %s %s" % (name, table) for table in TABLES]
        lines += ["link %s" % name, "place %s %d" % (name, position), "encode %s" % name, "hash %s" % name]
        status, out = probe.model_script(lines)
        out = [line for line in out if not line.startswith(("14:", "13:", "16:", "26:", "34:", "15:"))]
        tables, link, end, image, hash_text = out[0:4], out[4], int(out[5]), bytes.fromhex(out[6]), out[7]
        member_links = []
        for table in tables:
            if table == "done":
                continue
            _, names = probe.model_script(lines + ["link %s" % member for member in table.split()])
            member_links += names[-len(table.split()):]
        want_hash = zlib.crc32((link + "".join(member_links)).encode())
        probe.check(hash_text == "%08x" % want_hash, "%s hash %s, want %08x" % (name, hash_text, want_hash))
        opcode, = struct.unpack_from("<I", image, 0)
        operands = [struct.unpack_from("<Iq", image, 4 + 12 * i) for i in range(9)]
        word1, value1 = struct.unpack_from("<IQ", image, 16)
        type_code, = struct.unpack_from("<i", image, 112)
        probe.check(opcode == 154 and type_code == 0, "%s head" % name)
        probe.check(end - position == len(image), "%s size %d, placed to %d" % (name, len(image), end - position))

        probe.check(word1 == 0x04000004 and value1 == (want_hash << 32) | len(image), "%s operand 1" % name)
        probe.check(operands[5] == (0x04000004, -1) and operands[4] == (0, 0), "%s base and finalizer" % name)
        at = 116
        kinds = []
        for _ in range(5):
            kind, entries, at = read_container(image, at)
            kinds.append((kind, len(entries)))
        probe.check(at == len(image), "%s containers end at %d of %d" % (name, at, len(image)))
        want = [(16, counts["m"]), (34, counts["s"]), (14, counts["p"]), (15, counts["q"]), (13, anonymous)]
        probe.check(kinds == want, "%s containers %r, want %r" % (name, kinds, want))


def check_imports(probe, rng):
    libraries = ["a.dll", "b.so", "A.dll"]
    lines, functions = [], []
    for n in range(8):
        library = rng.choice(libraries)
        params = [rng.choice(["int", "long", "&long", "String", "double", "float"]) for _ in range(rng.randrange(0, 5))]
        name = "f%d" % n
        lines += ["import %s %s %s %s" % (name, rng.choice(["cdecl", "stdcall", "-"]), rng.choice(TYPES), " ".join(params)),
                  "module m%d %s 28" % (n, library), "overload m%d %s" % (n, name), "binding %s" % name]
        functions.append((library, name))
    lines += ["place imports 8192", "encode imports"]
    status, out = probe.model_script(lines)
    bindings = [bytes.fromhex(line) for line in out[1:-2:2]]
    end, image = int(out[-2]), bytes.fromhex(out[-1])
    probe.check(end - 8192 == len(image), "import table size")
    opcode, count = struct.unpack_from("<II", image, 0)
    order = []
    for library, _ in functions:
        if library not in order:
            order.append(library)
    probe.check(opcode == 156 and count == len(order), "import table head %d %d" % (opcode, count))
    at = 8
    for library in order:
        size, length = struct.unpack_from("<qI", image, at)
        probe.check(image[at + 12:at + 12 + length].decode() == library, "module name")
        kind, entries, after = read_container(image, at + 12 + length)
        probe.check(after - at == size and kind == 28, "module %s size %d kind %d" % (library, size, kind))
        mine = [name for lib, name in functions if lib == library]
        probe.check([e for e in entries] == [(23, 128)] * len(mine), "module %s entries" % library)
        for i, name in enumerate(mine):
            record = at + 12 + length + 8 + 128 * i + 32
            op, word, value = struct.unpack_from("<IIq", image, record)
            got = image[record + 16:record + 64]
            want = bindings[functions.index((library, name))]
            probe.check(op == 3 and got == want, "binding of %s" % name)
        at = after
    probe.check(at == len(image), "import table ends at %d of %d" % (at, len(image)))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    probe = Probe(parser.parse_args().bin)
    rng = random.Random(154)
    check_classes(probe, rng)
    check_imports(probe, rng)
    probe.finish("test_class_records")


if __name__ == "__main__":
    main()
