#!/usr/bin/env python3
"""Class records, relocation and module entries of images written by korvo
itself (-c, -slk), read with struct: operand 1 of every class record is
(hash << 32) | size, the size the record's own containers add up to, the hash
zlib's CRC-32 of the class's link name and its members' link names in table
order; a program linked against a library carries, in its relocation entry,
the hash that the module's own record holds; module entries are opcode 165.
Then a library with overloads: each call of a program linked against it
reaches its own method, as the same program compiled from source does."""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402
from test_image_format import read_image  # noqa: E402
from test_link_library import Walker  # noqa: E402

SHAPES = """class Shape {
    public int w;
    public static int count;
    public int area(int k) { return w * k; }
    public int f(int a) { return 1; }
    public int f(String s) { return 2; }
    public static Shape make() { return new Shape(); }
};
class Square : Shape {
    public int f(int a) override { return 3; }
};
"""
CALLS = """int main(String[] args) {
    Shape o = new Shape();
    Square q = new Square();
    int a = o.f(1);
    int b = o.f("x");
    int c = q.f(2);
    int d = q.f("y");
    return a + b + c + d;
}
"""


def text_at(img, ref):
    """A 12-byte string reference: u64 offset from the field (less 12), u32 length."""
    offset, length = struct.unpack_from("<qI", img, ref)
    at = ref + offset - 12
    return img[at:at + length].decode()


def containers(img, at):
    """The five containers of a class record from `at`: [[link name]], end."""
    tables = []
    for _ in range(5):
        _, count = struct.unpack_from("<II", img, at)
        at += 8
        links = []
        for _ in range(count):
            tag, = struct.unpack_from("<I", img, at)
            links.append(text_at(img, at + 16))
            size = 64
            if tag == 23:
                size += 64 if struct.unpack_from("<I", img, at + 32)[0] == 3 else 32
            at += size
        tables.append(links)
    return tables, at


def resource_text(img, record_end, at):
    """The string resource that operand `at` reaches from its record's end."""
    resource = record_end + struct.unpack_from("<q", img, at + 4)[0]
    length, = struct.unpack_from("<q", img, resource + 20)
    return img[resource + 28:resource + 28 + length].decode()


def class_records(img):
    """Every class record (opcode 154, operand 1 an int immediate, type code
    0, dynamic methods first): name -> what it holds and what it should."""
    found = {}
    for at in (m.start() for m in re.finditer(re.escape(struct.pack("<I", 154)), img)):
        if at + 124 > len(img) or struct.unpack_from("<IiI", img, at + 16)[0] != 0x04000004 or \
                struct.unpack_from("<iI", img, at + 112) != (0, 16):
            continue
        value1, = struct.unpack_from("<Q", img, at + 20)
        tables, end = containers(img, at + 116)
        link = resource_text(img, end, at + 4 + 12 * 6)
        members = [name for table in tables[:4] for name in table]
        found[resource_text(img, end, at + 4 + 12 * 2)] = dict(
            hash=value1 >> 32, size=value1 & 0xFFFFFFFF, want_size=end - at, link=link, members=tables[0],
            want_hash=zlib.crc32((link + "".join(members)).encode()))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    probe = Probe(build)
    korvo = os.path.join(build, "korvo")

    with tempfile.TemporaryDirectory(prefix="korvo-classes-") as work:
        def write(name, text):
            with open(os.path.join(work, name), "w") as f:
                f.write(text)

        def compile(*words):
            done = subprocess.run([korvo, "-w", *words], cwd=work, capture_output=True)
            probe.check(done.returncode == 0, "korvo %s: %r" % (" ".join(words), done.stdout[-400:]))
            return done.stdout.decode()

        def image(name):
            data = open(os.path.join(work, name), "rb").read()
            read_image(data)  # the layout as a whole
            return data

        write("shapes.k", SHAPES)
        write("program.k", SHAPES + CALLS)
        write("calls.k", CALLS)
        write("shapes.kdef", '{"library":"shapes.slk"}')

        # Source: every class record carries its size and hash.
        compile("-c", "program.k", "-o", "program.kb")
        records = class_records(image("program.kb"))
        probe.check({"Shape", "Square"} <= set(records), "class records found: %s" % sorted(records)[:8])
        for name, r in records.items():
            probe.check(r["size"] == r["want_size"] and r["hash"] == r["want_hash"],
                        "%s size %d hash %08x, want %d %08x" % (name, r["size"], r["hash"], r["want_size"],
                                                                r["want_hash"]))
        shape = records.get("Shape", {})
        probe.check(shape.get("members") == ["/int@/Shape/area(/int)", "/int@/Shape/f(/int)",
                                             "/int@/Shape/f(/String)"], "Shape's methods: %r" % shape.get("members"))
        listing = subprocess.run([korvo, "-d", "program.kb", "-o", "stdout"], cwd=work, capture_output=True).stdout
        probe.check(b"Object Length:0\n" not in listing and b"CRC:0x00000000" not in listing,
                    "the listing shows sizes and hashes")

        # The module and a program linked against the library of the same
        # source: the relocation entry's hash is the module record's.
        compile("-slk", "-c", "shapes.k", "-o", "shapes.slk")
        module = class_records(image("shapes.slk"))
        compile("-c", "shapes.k", "shapes.kdef", "-kl", "-o", "shapes.kl")
        compile("-c", "calls.k", "-link", "shapes.kl", "-o", "linked.kb")
        linked = read_image(image("linked.kb"))
        relocations = dict(linked["relocations"])
        for name in ("Shape", "Square"):
            got, want = relocations.get("/" + name), module.get(name, {}).get("hash")
            probe.check(got is not None and got == want == records[name]["hash"],
                        "%s: relocation hash %r, module record %r" % (name, got, want))
        probe.check(linked["modules"] == ["shapes.slk"], "modules %r" % linked["modules"])
        img = image("linked.kb")
        sections = [struct.unpack_from("<Q", img, 136 + 8 * i)[0] for i in range(7)]
        entries = [struct.unpack_from("<I", img, at)[0] for at in range(sections[5] + 16, sections[6], 16)]
        probe.check(entries == [165], "module entries are opcode 165: %r" % entries)

        # Overloads of a library class: each call reaches the slot of its
        # own method, the slot the same class compiled from source gives (a
        # library method's slot is folded into the high half, behind the
        # register).
        def slots(name):
            listing = subprocess.run([korvo, "-d", name, "-o", "stdout"], cwd=work, capture_output=True).stdout
            return [int(n) for n in re.findall(rb"call method ptr \[this \+ (\d+)\]", listing)]
        from_source, from_library = slots("program.kb"), slots("linked.kb")
        probe.check(from_source == [1, 2, 1, 2] and from_library == [n << 32 for n in from_source],
                    "slots of o.f(1), o.f(\"x\"), q.f(2), q.f(\"y\"): %r from source, %r linked" %
                    (from_source, from_library))

        # Written, loaded and written again: the same records (but for the
        # bytes a reader drops), full link names and hashes included.
        write("both.kdef", '{"library":"shapes.slk","exports":["Shape","Square"]}')
        write("empty.k", "")
        compile("-c", "shapes.k", "both.kdef", "-kl", "-o", "direct.kl")
        compile("-c", "empty.k", "both.kdef", "-link", "shapes.kl", "-kl", "-o", "again.kl")
        masked = []
        for name in ("direct.kl", "again.kl"):
            walker = Walker(open(os.path.join(work, name), "rb").read())
            walker.library()
            masked.append(bytes(0 if at in walker.dropped else b for at, b in enumerate(walker.data)))
            probe.check({b"/int@/Shape/f(/int)", b"/int@/Shape/f(/String)", b"/int@/Square/f(/int)"} <=
                        set(walker.links.values()), "%s: full link names %r" % (name, sorted(walker.links.values())))
        probe.check(masked[0] == masked[1], "the library written again keeps its bytes")
    probe.finish("test_compiled_classes")


if __name__ == "__main__":
    main()
