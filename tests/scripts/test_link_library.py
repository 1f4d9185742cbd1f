#!/usr/bin/env python3
"""Link libraries and packages: libraries written by korvo -kl walked by a
reader written here from the byte layout, hand-made libraries loaded through
korvo-probe linklib, packages made with zipfile loaded through korvo-probe
package, and damaged copies of both that must be refused without a crash."""
import argparse
import os
import random
import re
import struct
import subprocess
import tempfile
import zipfile

from probe_support import Probe

FULL_KINDS = (31, 23, 18, 52, 35, 26)


class Walker:
    """Walks every reference of a library: back references must name earlier
    records and no identity may have two full records. Notes where each full
    record lies, its link name, the built-in template instances (tag 66) and
    the two bytes of every object part that a reader drops (has constant
    value, value record: constants are not part of the record)."""

    def __init__(self, data):
        self.data, self.at, self.seen = data, 0, set()
        self.spans, self.links, self.dropped, self.instances = {}, {}, set(), 0
        self.nested, self.open = {}, [[]]

    def take(self, fmt):
        size = struct.calcsize(fmt)
        if self.at + size > len(self.data):
            raise ValueError("short read at %d" % self.at)
        value = struct.unpack_from(fmt, self.data, self.at)
        self.at += size
        return value[0] if len(value) == 1 else value

    def string(self):
        n = self.take("<I")
        if n > len(self.data) - self.at:
            raise ValueError("string length %d" % n)
        self.at += n
        return self.data[self.at - n:self.at]

    def ref(self):
        start = self.at
        tag = self.take("<I")
        if tag == 62:
            return
        identity = self.take("<Q")
        if tag == 66:
            self.instances += 1
            for _ in range(self.take("<I")):
                self.ref()
            return
        if tag == 32:
            return
        if tag == 65:
            if identity not in self.seen:
                raise ValueError("back reference to unwritten %d" % identity)
            return
        if tag not in FULL_KINDS:
            raise ValueError("tag %d" % tag)
        if identity in self.seen:
            raise ValueError("identity %d written twice" % identity)
        self.seen.add(identity)
        self.open.append([])
        self.object(tag, identity)
        self.nested[identity] = self.open.pop()
        self.spans[identity] = (start, self.at)
        self.open[-1].append(identity)

    def object(self, kind, identity):
        self.string()
        self.links[identity] = self.string()
        self.string()
        self.ref(), self.ref()
        self.take("<IQBBIBB")
        self.ref()
        self.dropped.update((self.at + 6, self.at + 19))
        self.take("<BIBBIBIBBBBI")
        if kind == 26:
            tree = self.take("<I")  # the declaration tree
            if tree > len(self.data) - self.at:
                raise ValueError("tree length %d" % tree)
            self.at += tree
        self.at += 28
        if kind in (31, 52, 35):
            self.take("<BBBBBI")
            self.ref(), self.ref(), self.ref()
            for _ in range(self.take("<I")):
                self.ref()
            own = self.take("<B")
            self.take("<Q")
            for _ in range(5 if own else 4):
                self.container()
            for _ in range(self.take("<I")):
                self.string()
                self.ref()
        elif kind in (23, 26):
            for _ in range(self.take("<I")):
                self.ref()
            for _ in range(self.take("<I")):
                self.ref()
            self.take("<B")

    def container(self):
        self.take("<I")
        self.ref()
        for _ in range(self.take("<I")):
            self.ref()

    def record(self, identity):
        """A full record's bytes with the bytes a reader drops zeroed and each
        record nested in it replaced by a back reference (where records nest
        depends on which one a writer meets first)."""
        start, end = self.spans[identity]
        out = b""
        for inner in self.nested[identity]:
            inner_start, inner_end = self.spans[inner]
            out += bytes(0 if at in self.dropped else self.data[at] for at in range(start, inner_start))
            out += struct.pack("<IQ", 65, inner)
            start = inner_end
        return out + bytes(0 if at in self.dropped else self.data[at] for at in range(start, end))

    def library(self):
        if self.data[:3] != b"KD!":
            raise ValueError("magic")
        self.at = 3
        if self.take("<I") != 2:
            raise ValueError("version")
        flag = self.take("<B")
        module = self.string()
        self.container()
        if self.at != len(self.data):
            raise ValueError("%d bytes after the body" % (len(self.data) - self.at))
        return flag, module


def s(text):
    return struct.pack("<I", len(text)) + text


def nothing():
    return struct.pack("<I", 62)


def object_part(kind, identity, name, type_ref=None, owner_ref=None, modifiers=0):
    out = struct.pack("<IQ", kind, identity) + s(name) + s(name) + s(b"")
    out += (type_ref or nothing()) + (owner_ref or nothing())
    out += struct.pack("<IQBBIBB", 0, 0, 0, 1, 0, 0, 0) + nothing()
    out += struct.pack("<BIBBIBIBBBBI", 0, 11, 0, 0, 0, 0, modifiers, 0, 0, 0, 0, 0)
    return out + bytes(28)


def empty_container(kind):
    return struct.pack("<I", kind) + nothing() + struct.pack("<I", 0)


def class_record(identity, name, base_ref=None, methods=b"", method_count=0):
    out = object_part(31, identity, name) + struct.pack("<BBBBBI", 1, 0, 0, 0, 0, 0)
    out += (base_ref or nothing()) + nothing() + nothing() + struct.pack("<I", 0)
    out += struct.pack("<BQ", 1, 1) + empty_container(13)
    out += struct.pack("<I", 16) + nothing() + struct.pack("<I", method_count) + methods
    for kind in (34, 14, 15):
        out += empty_container(kind)
    return out + struct.pack("<I", 0)


def function_record(identity, name, owner_identity, thrown=b"", thrown_count=0):
    out = object_part(23, identity, name, owner_ref=struct.pack("<IQ", 65, owner_identity))
    return out + struct.pack("<I", 0) + struct.pack("<I", thrown_count) + thrown + b"\x00"


def library(members, module_flag=0, module=b""):
    body = struct.pack("<I", 10) + nothing() + struct.pack("<I", len(members)) + b"".join(members)
    return b"KD!" + struct.pack("<IB", 2, module_flag) + s(module) + body


def hand_made():
    """A class whose method refers back to it and throws a built-in class
    (tag 32, key of the Exception id looked up by the reader) and a second
    class derived from the first."""
    method = function_record(2, b"twice", 1)
    first = class_record(1, b"Util", methods=method, method_count=1)
    second = class_record(3, b"More", base_ref=struct.pack("<IQ", 65, 1))
    return library([first, second], module_flag=1)


def compile_in(work, korvo, *words):
    done = subprocess.run([korvo, "-w", "-c"] + list(words), cwd=work, capture_output=True)
    return done.returncode, done.stdout.decode()


def write(work, name, text):
    with open(os.path.join(work, name), "w") as f:
        f.write(text)


def walked(probe, work, name):
    path = os.path.join(work, name)
    walker = Walker(open(path, "rb").read() if os.path.exists(path) else b"")
    try:
        walker.library()
    except ValueError as fault:
        probe.check(False, "%s does not walk: %s" % (name, fault))
    return walker


def relinking(probe, korvo, work):
    """Libraries written by compilations that loaded other libraries: the
    loaded objects keep the identity read, so their records come out as
    their first writer wrote them; built-in template instances travel as
    tag 66; identities two loaded libraries share are written once each."""
    write(work, "a.k", "class Util { int twice(int v) throws IllegalArgumentException, Exception { return v * 2; }\n"
                       "             List<int> items; };\n"
                       "class More : Util { Map<String,int> names; };\n"
                       "class Ints : List<int> { int n; };\n"
                       "class Few : Ints { int k; };\n")
    write(work, "both.kdef", '{"library":"a","exports":["Util","More","Ints"]}')
    write(work, "empty.k", "")
    for words in (["a.k", "-kl", "-o", "a.kl"], ["a.k", "both.kdef", "-kl", "-o", "direct.kl"],
                  ["empty.k", "both.kdef", "-link", "a.kl", "-kl", "-o", "again.kl"]):
        status, text = compile_in(work, korvo, *words)
        probe.check(status == 0 and "已生成:" + words[-1] in text, "%s: %r" % (words[-1], text))
    whole, direct, again = (walked(probe, work, name) for name in ("a.kl", "direct.kl", "again.kl"))
    probe.check(whole.instances == 3 and len(whole.data) < 4000 and not {b"/List</int>", b"/Map</String,/int>"} & set(whole.links.values()),
                "List<int> and Map<String,int> as tag 66, their members not written: %d, %r" %
                (whole.instances, sorted(whole.links.values())))
    # Re-exported from the loaded library: the same file but for the bytes
    # the reader drops.
    masked = [bytes(0 if at in w.dropped else w.data[at] for at in range(len(w.data))) for w in (direct, again)]
    probe.check(masked[0] == masked[1] and set(direct.spans) == set(again.spans),
                "a re-export writes the records read: %d against %d bytes" % (len(direct.data), len(again.data)))

    # A class deriving from a loaded one: the base's records inside it as in
    # the base's own library; the derived class's identity is its own.
    write(work, "c.k", "class Extra : More { int count; };\n")
    status, text = compile_in(work, korvo, "c.k", "-link", "a.kl", "-kl", "-o", "c.kl")
    uses = walked(probe, work, "c.kl")
    shared = set(uses.spans) & set(whole.spans)
    probe.check(status == 0 and len(shared) >= 6 and len(uses.spans) > len(shared) and
                all(uses.record(i) == whole.record(i) for i in shared),
                "records of the loaded library written again as read (%d shared)" % len(shared))
    status, out = probe.run("linklib", os.path.join(work, "c.kl"), "-n", "4")
    lines = out.decode().splitlines()
    probe.check(status == 0 and lines[-1] == "loaded 1" and
                not any(line.startswith(("identity kept", "library number")) for line in lines),
                "c.kl loads, each object stamped 4 and keeping its identity: %r" % lines[-3:])

    # A template method travels with its declaration tree, and comes back
    # from a library written after loading it.
    write(work, "tools.k", "class Tools { <T> T same(T t, int n) { return t; } int plain(int v) { return v; } };\n")
    write(work, "tools.kdef", '{"exports":["Tools"]}')
    compile_in(work, korvo, "tools.k", "-kl", "-o", "tools.kl")
    compile_in(work, korvo, "empty.k", "tools.kdef", "-link", "tools.kl", "-kl", "-o", "tools2.kl")
    for name in ("tools.kl", "tools2.kl"):
        tools = walked(probe, work, name)
        status, out = probe.run("linklib", os.path.join(work, name))
        made = [line.split() for line in out.decode().splitlines()]
        probe.check(status == 0 and b"/Tools/same()" in tools.links.values() and
                    [line[0] for line in made if line[-1] == "/Tools/same()"] == ["26"],
                    "%s: the template method comes back: %r" % (name, made))

    # Two libraries of separate compilations: their classes share identities.
    write(work, "x.k", "class X { int x; };\n")
    write(work, "y.k", "class Y { int y; };\n")
    write(work, "z.k", "class Z { X x; Y y; };\n")
    for name in ("x", "y"):
        compile_in(work, korvo, name + ".k", "-kl", "-o", name + ".kl")
    xs, ys = walked(probe, work, "x.kl"), walked(probe, work, "y.kl")
    status, text = compile_in(work, korvo, "z.k", "-link", "x.kl", "-link", "y.kl", "-kl", "-o", "z.kl")
    zs = walked(probe, work, "z.kl")
    probe.check(status == 0 and set(xs.spans) & set(ys.spans) and {b"/X", b"/Y", b"/Z"} <= set(zs.links.values()) and
                any(identity >= 1 << 63 for identity in zs.spans),
                "two loaded libraries sharing identities give one sound library: %r" % text)
    status, out = probe.run("linklib", os.path.join(work, "z.kl"))
    probe.check(status == 0 and out.decode().endswith("loaded 1\n"), "z.kl loads: %r" % out[-60:])

    # The end of the road: a program holding or making a Util, linked
    # against the library that declares the module util.slk, lists the
    # module (golden case linklib/util_program shows the code and tables).
    module_line = re.compile(r"^0x[0-9A-F]{8}-[0-9A-F]{8} : module\[0\]: util\.slk $", re.M)
    programs = {"holds": "int main(String[] args) { Util u = nilptr; return 0; }\n",
                "makes": "int main(String[] args) { Util u = new Util(); return 0; }\n"}
    for name, program in programs.items():
        write(work, name + ".k", program)
        status, text = compile_in(work, korvo, name + ".k", "-link", "util.kl", "-o", name + ".kb")
        listing = subprocess.run([korvo, "-d", name + ".kb", "-o", "stdout"], cwd=work, capture_output=True).stdout
        probe.check(status == 0 and module_line.search(listing.decode()),
                    "a program that %s a Util lists its module: %r" % (name, text))


def search(probe, korvo, work):
    """-libpath: the name as given first, then each directory in order; a
    ".KP" name is a package."""
    for folder in ("a", "b", "here"):
        os.makedirs(os.path.join(work, folder), exist_ok=True)
    write(work, "b/lib.k", "class FromB { };\n")
    write(work, "here/lib.k", "class FromHere { };\n")
    write(work, "useb.k", "class User { FromB b; };\n")
    compile_in(work, korvo, "b/lib.k", "-lik", "-o", "b/lib.lik")
    compile_in(work, korvo, "b/lib.k", "-kl", "-o", "b/lib.kl")
    for kind in ("-lib", "-link"):
        name = "lib.lik" if kind == "-lib" else "lib.kl"
        status, text = compile_in(work, korvo, "useb.k", kind, name, "-libpath", "a", "b", "-kl", "-o", "u.kl")
        probe.check(status == 0, "%s %s found in the second -libpath directory: %r" % (kind, name, text))
    compile_in(work, korvo, "here/lib.k", "-lik", "-o", "lib.lik")
    status, text = compile_in(work, korvo, "useb.k", "-lib", "lib.lik", "-libpath", "b", "-kl", "-o", "u.kl")
    probe.check(status == 1 and "未知的类型" in text, "the current directory's lib.lik comes first: %r" % text)
    with zipfile.ZipFile(os.path.join(work, "UP.KP"), "w", zipfile.ZIP_DEFLATED) as z:
        z.write(os.path.join(work, "b/lib.kl"), "major.kl")
    status, text = compile_in(work, korvo, "useb.k", "-lib", "UP.KP", "-kl", "-o", "u.kl")
    probe.check(status == 0, "a .KP name is a package: %r" % text)


def exports(probe, korvo, work):
    """The .kdef golden case's library: flag set with an empty name, the
    three classes resolved in list order (a dotted package class, a name
    whose first part is unknown), the hidden classes nowhere."""
    case = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "golden", "linklib", "kdef_exports")
    for name in ("g.k", "g.kdef"):
        with open(os.path.join(case, name), "rb") as source, open(os.path.join(work, name), "wb") as copy:
            copy.write(source.read())
    compile_in(work, korvo, "g.k", "g.kdef", "-kl", "-o", "g.kl")
    walker = walked(probe, work, "g.kl")
    probe.check(walker.data[7:24] == struct.pack("<BIIII", 1, 0, 10, 62, 3) and
                [walker.links[i] for i in walker.open[0]] == [b"/pk/C", b"/Util", b"/Derived"] and
                not {b"/Base", b"/Unused"} & set(walker.links.values()),
                "exported classes %r" % sorted(walker.links.values()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    probe = Probe(args.bin)
    korvo = os.path.join(os.path.abspath(args.bin), "korvo")
    rng = random.Random(22)
    with tempfile.TemporaryDirectory() as work:
        def path(name):
            return os.path.join(work, name)

        # -kl with a .kdef naming the library: the header of the issue, the
        # body walks to the end of the file, and two runs give the same bytes.
        with open(path("util.k"), "w") as f:
            f.write("class Util { public int twice(int v) { return v * 2; } };\n")
        with open(path("util.kdef"), "w") as f:
            f.write('{"library":true}')
        outputs = []
        for out in ("util.kl", "again.kl"):
            done = subprocess.run([korvo, "-c", "util.k", "util.kdef", "-kl", "-o", out], cwd=work,
                                  capture_output=True)
            probe.check(done.returncode == 0 and ("已生成:" + out).encode() in done.stdout,
                        "-kl wrote %s: %r" % (out, done.stdout))
            outputs.append(open(path(out), "rb").read())
        probe.check(outputs[0] == outputs[1], "two -kl runs give the same bytes")
        probe.check(outputs[0][:12] == bytes.fromhex("4B4421020000000100000000"),
                    "header %s" % outputs[0][:12].hex())
        try:
            probe.check(Walker(outputs[0]).library() == (1, b""), "module flag and empty name")
        except ValueError as fault:
            probe.check(False, "korvo's library does not walk: %s" % fault)
        status, out = probe.run("linklib", path("util.kl"))
        lines = out.decode().splitlines()
        probe.check(status == 0 and lines[-2:] == ["module util.slk", "loaded 1"], "util.kl loads: %r" % lines[-3:])
        probe.check(any(re.fullmatch(r"31 \d+ /Util", line) for line in lines), "the class comes back: %r" % lines)

        # An export list: only the named class, under the stored module name.
        with open(path("exports.kdef"), "w") as f:
            f.write('{"LIBRARY":"mathx","Exports":["Util","Missing"]}')
        done = subprocess.run([korvo, "-c", "util.k", "exports.kdef", "-kl", "-o", "exports.kl"], cwd=work,
                              capture_output=True)
        text = done.stdout.decode()
        probe.check(done.returncode == 0 and "找不到指定导出的类:" in text and "Missing" in text, "exports %r" % text)
        exported = open(path("exports.kl"), "rb").read()
        probe.check(Walker(exported).library() == (1, b"mathx") and exported[17:29] == struct.pack("<III", 10, 62, 1),
                    "one exported class %r" % exported[:32])
        status, out = probe.run("linklib", path("exports.kl"))
        lines = out.decode().splitlines()
        probe.check(status == 0 and lines[0].startswith("31 ") and lines[-2:] == ["module mathx", "loaded 1"],
                    "exports load %r" % lines)

        relinking(probe, korvo, work)
        exports(probe, korvo, work)
        search(probe, korvo, work)

        # A hand-made library: objects made in record order, back references
        # resolved, the stored module name used.
        data = hand_made()
        Walker(data).library()
        with open(path("hand.kl"), "wb") as f:
            f.write(data)
        status, out = probe.run("linklib", path("hand.kl"), "-n", "3")
        lines = out.decode().splitlines()
        probe.check(status == 0 and lines == ["31 1 Util", "23 2 twice", "31 3 More", "module hand.slk", "loaded 1"],
                    "hand-made library: %r" % lines)
        named = hand_made().replace(b"KD!\x02\x00\x00\x00\x01\x00\x00\x00\x00",
                                    b"KD!\x02\x00\x00\x00\x01\x05\x00\x00\x00mathx")
        with open(path("named"), "wb") as f:
            f.write(named)
        status, out = probe.run("linklib", path("named"))
        probe.check(out.decode().splitlines()[-2:] == ["module mathx", "loaded 1"], "stored module name %r" % out)

        # A built-in template instance (List<int>, List id 41, int id 5) as a
        # base of two classes: instantiated in the reader's context.
        instance = struct.pack("<IQI", 66, 41, 1) + struct.pack("<IQ", 32, 5)
        with open(path("instance.kl"), "wb") as f:
            f.write(library([class_record(1, b"Ints", base_ref=instance), class_record(2, b"More", base_ref=instance)]))
        status, out = probe.run("linklib", path("instance.kl"))
        probe.check(status == 0 and out.decode().splitlines() == ["31 1 Ints", "31 2 More", "loaded 1"],
                    "template instance %r" % out)

        # Tag 32 with all ones is the built-in key -1 (nil), sign-extended;
        # a variable typed by it loads.
        nil_typed = object_part(18, 5, b"v", type_ref=struct.pack("<IQ", 32, (1 << 64) - 1))
        with open(path("nil.kl"), "wb") as f:
            f.write(library([nil_typed]))
        status, out = probe.run("linklib", path("nil.kl"))
        probe.check(status == 0 and out.decode().splitlines() == ["18 5 v", "loaded 1"], "nil key %r" % out)

        # An array keeps itself through its "length" member: loaded, then
        # released with the context, or refused, nothing of it may leak.
        array = library([struct.pack("<I", 52) + class_record(6, b"a")[4:]])
        with open(path("array.kl"), "wb") as f:
            f.write(array)
        status, out = probe.run("linklib", path("array.kl"))
        probe.check(status == 0 and out.decode().splitlines()[-1] == "loaded 1", "array %r" % out)

        # A class whose template argument is a built-in instance (made for
        # the load, owned by its own members), refused: the instance goes too.
        head = object_part(31, 1, b"Ints") + struct.pack("<BBBBBI", 1, 0, 0, 0, 0, 0) + nothing() * 3
        with_argument = head + struct.pack("<I", 1) + instance + class_record(1, b"Ints")[len(head) + 4:]

        # Faults that must be refused with the loader's messages.
        cases = {
            "magic": (b"KX!" + data[3:], "损坏的链接库文件"),
            "version": (data[:3] + struct.pack("<I", 3) + data[7:], "链接库是由不兼容版本的编译器创建的,请更新库"),
            "short version": (data[:5], "链接库是由不兼容版本的编译器创建的,请更新库"),
            "long module name": (data[:8] + struct.pack("<I", 0xFFFFFFF0) + data[12:], "损坏的链接库文件"),
            "back reference first": (library([struct.pack("<IQ", 65, 9)]), "损坏的链接库文件"),
            "unknown built-in": (library([struct.pack("<IQ", 32, 0x7654321)]), "损坏的链接库文件"),
            "template class record": (library([struct.pack("<IQ", 34, 1)]), "损坏的链接库文件"),
            "instance of no template": (library([struct.pack("<IQI", 66, 5, 1) + struct.pack("<IQ", 32, 5)]),
                                        "损坏的链接库文件"),
            "instance without arguments": (library([struct.pack("<IQI", 66, 41, 0)]), "损坏的链接库文件"),
            "trailing bytes": (data + b"\x00", "损坏的链接库文件"),
            "array, then trailing bytes": (array + b"\x00", "损坏的链接库文件"),
            "instance argument, then trailing bytes": (library([with_argument]) + b"\x00", "损坏的链接库文件"),
            "object owned by itself": (library([object_part(18, 7, b"x", owner_ref=struct.pack("<IQ", 65, 7))]) +
                                       b"\x00", "损坏的链接库文件"),
            "nesting": (b"KD!" + struct.pack("<IBI", 2, 0, 0) + struct.pack("<I", 10) +
                        b"".join(struct.pack("<IQ", 18, i) + s(b"v") + s(b"") + s(b"") for i in range(3000)),
                        "损坏的链接库文件"),
        }
        for name, (content, message) in cases.items():
            with open(path("case.kl"), "wb") as f:
                f.write(content)
            status, out = probe.run("linklib", path("case.kl"))
            text = out.decode()
            probe.check(status == 1 and text.startswith(message + ": ") and text.endswith("loaded 0\n"),
                        "%s: %r" % (name, text))
        for _ in range(60):
            damaged = bytearray(data)
            if rng.random() < 0.5:
                damaged = damaged[:rng.randrange(len(damaged))]
            else:
                for _ in range(rng.randint(1, 4)):
                    damaged[rng.randrange(len(damaged))] ^= 1 << rng.randrange(8)
            with open(path("damaged.kl"), "wb") as f:
                f.write(bytes(damaged))
            probe.run("linklib", path("damaged.kl"))

        # Packages.
        lik = os.path.join(os.path.abspath(args.bin), "hello.lik")
        static = open(lik, "rb").read() if os.path.exists(lik) else None
        if static is None:
            subprocess.run([korvo, "-c", "util.k", "-lik", "-o", "util.lik"], cwd=work, capture_output=True)
            static = open(path("util.lik"), "rb").read()

        def package(name, entries, method=zipfile.ZIP_STORED):
            with zipfile.ZipFile(path(name), "w", method) as z:
                for entry, content in entries:
                    z.writestr(entry, content)
            return path(name)

        def run_package(name, *extra):
            status, out = probe.run("package", path(name), *extra)
            return status, [line for line in out.decode().splitlines() if line]

        package("major.kp", [("major.lik", static), ("other.kl", b"never read")], zipfile.ZIP_DEFLATED)
        probe.check(run_package("major.kp") == (0, ["entry 0 major.lik 1", "result 1"]), "major entry only")
        package("target.kp", [("windows-x86_64.kl", outputs[0]), ("notes.txt", b"")])
        probe.check(run_package("target.kp", "-kcross-windows") == (0, ["entry 1 windows-x86_64.kl 1", "result 1"]),
                    "target entry %r" % (run_package("target.kp", "-kcross-windows"),))
        probe.check(run_package("target.kp", "-kcross-windows", "-arch:arm64")[1] == ["entry 1 windows-x86_64.kl 1",
                                                                                      "result 1"],
                    "another processor falls back to the scan")
        package("scan.kp", [("extra.LIK", static), ("notes.txt", b"x"), ("lib.Kl", outputs[0])])
        probe.check(run_package("scan.kp") == (0, ["entry 0 extra.LIK 1", "entry 1 lib.Kl 1", "result 1"]),
                    "fallback scan %r" % (run_package("scan.kp"),))
        # A member whose directory entry declares nearly 4 GiB: the loader
        # reads what is there and reports the library damaged, allocating no
        # more than the bytes that arrive (the sanitizer refuses any larger
        # allocation here).
        raw = bytearray(open(package("declared.kp", [("lib.Kl", outputs[0])]), "rb").read())
        central = raw.index(b"PK\x01\x02")
        raw[central + 24:central + 28] = struct.pack("<I", 0xFFFFFF00)
        with open(path("declared.kp"), "wb") as f:
            f.write(bytes(raw))
        env = dict(os.environ, ASAN_OPTIONS="max_allocation_size_mb=64:allocator_may_return_null=0")
        done = subprocess.run([probe.path, "package", path("declared.kp")], capture_output=True, env=env)
        lines = [line for line in done.stdout.decode().splitlines() if line]
        probe.check(done.returncode == 1 and lines == ["损坏的链接库文件: %s" % path("declared.kp"),
                                                       "entry 1 lib.Kl 0", "result 0"],
                    "declared size is no allocation %d %r %s" % (done.returncode, lines, done.stderr.decode()[:300]))
        package("dir.kp", [("sub/", b""), ("extra.lik", static)])
        status, lines = run_package("dir.kp")
        probe.check(status == 1 and lines[0].startswith("无效的包: ") and lines[-2:] == ["entry 0 extra.lik 1", "result 0"],
                    "directory entry %r" % lines)
        with open(path("plain.kp"), "wb") as f:
            f.write(b"not a zip archive")
        status, lines = run_package("plain.kp")
        probe.check(status == 1 and lines == ["无效的包: %s" % path("plain.kp"), "result 0"], "non-ZIP %r" % lines)
        # A local header without its signature.
        package("local.kp", [("major.lik", static)])
        raw = bytearray(open(path("local.kp"), "rb").read())
        raw[0] ^= 0x20
        with open(path("local.kp"), "wb") as f:
            f.write(bytes(raw))
        status, lines = run_package("local.kp")
        probe.check(status == 1 and lines[-2:] == ["entry 0 major.lik 0", "result 0"] and "处理包时出错" in lines[0],
                    "damaged local header %r" % lines)
        good = open(path("scan.kp"), "rb").read()
        for _ in range(40):
            damaged = bytearray(good)
            for _ in range(rng.randint(1, 6)):
                damaged[rng.randrange(len(damaged))] = rng.randrange(256)
            with open(path("damaged.kp"), "wb") as f:
                f.write(bytes(damaged[:rng.randrange(len(damaged) + 1)] if rng.random() < 0.3 else damaged))
            probe.run("package", path("damaged.kp"))

        # The compiler: a missing or bad library stops the compile.
        with open(path("bad.kp"), "wb") as f:
            f.write(b"garbage")
        done = subprocess.run([korvo, "-c", "util.k", "-lib", "bad.kp", "-o", "out.kx"], cwd=work,
                              capture_output=True)
        text = done.stdout.decode()
        probe.check(done.returncode == 1 and "无效的包: bad.kp" in text and "发生错误,编译中断" in text and
                    not os.path.exists(path("out.kx")), "bad package stops the compile: %r" % text)
    probe.finish("link_library")


if __name__ == "__main__":
    main()
