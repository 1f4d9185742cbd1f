#!/usr/bin/env python3
"""Program images read back by a reader written from the image layout alone
(struct, zlib.crc32, lzma FORMAT_ALONE): header, end address, the four CRCs,
section order, heap padding, the resource walk, table heads, the symbol,
debug and reflection records ending the file. Images come from
`korvo-probe image-build` layouts and from `korvo -slk -c`; every one is
checked, the -z ones decode to the plain body, and two runs differ only in
the time stamp."""
import argparse
import json
import lzma
import os
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402

LONG_WORD = (5 << 24) | 5
INT_WORD = (4 << 24) | 4


class Damage(Exception):
    pass


class Reader:
    def __init__(self, data):
        self.data = data

    def u32(self, at):
        if at + 4 > len(self.data):
            raise Damage("u32 past the end at %d" % at)
        return struct.unpack_from("<I", self.data, at)[0]

    def u64(self, at):
        if at + 8 > len(self.data):
            raise Damage("u64 past the end at %d" % at)
        return struct.unpack_from("<Q", self.data, at)[0]

    def i64(self, at):
        return struct.unpack_from("<q", self.data, at)[0]

    def cstring(self, at):
        end = self.data.index(b"\0", at)
        return self.data[at:end].decode("utf-8")

    def text(self, at):
        """u32 n + 1, n bytes, a zero byte; returns (text, next)."""
        n = self.u32(at) - 1
        if self.data[at + 4 + n] != 0:
            raise Damage("text without its zero at %d" % at)
        return self.data[at + 4:at + 4 + n].decode("utf-8"), at + 5 + n


def plain_image(data):
    """The uncompressed image: a -z image is its head and the decoded body."""
    options = struct.unpack_from("<Q", data, 28)[0]
    if not options & 1:
        return data
    raw = struct.unpack_from("<Q", data, 72)[0]
    return data[:136] + lzma.decompress(data[136 + raw:], format=lzma.FORMAT_ALONE)


def read_image(data, list2_count=0):
    """Checks the layout; returns a summary of what was found."""
    found = {}
    img = plain_image(data)
    r = Reader(img)
    if img[:4] != b"KB! " or r.u32(4) != 1049:
        raise Damage("magic or version")
    found["version"] = r.u64(8)
    if (r.u32(16), r.u32(20), r.u32(24)) != (0x1000, 9, 4):
        raise Damage("flags and fixed words")
    found["options"] = r.u64(28)
    end = r.u64(44)
    if end != len(img):
        raise Damage("end address %d, image %d bytes" % (end, len(img)))
    if r.u32(52) != 0 or any(img[84:136]):
        raise Damage("zero fields")
    found["field72"] = r.u64(72)
    found["language"] = r.u32(80)
    sections = [r.u64(136 + 8 * i) for i in range(7)]
    if sections != sorted(sections) or sections[0] < 192 or sections[-1] > end:
        raise Damage("sections out of order: %s" % sections)
    s1, s2 = sections[0], sections[1]
    crcs = [r.u32(56 + 4 * i) for i in range(4)]
    want = [zlib.crc32(img[136:end]), zlib.crc32(img[192:s1]), zlib.crc32(img[s1:s2]), zlib.crc32(img[s2:end])]
    if crcs != want:
        raise Damage("crcs %s, want %s" % (crcs, want))

    # The heap record, its padding and its container at 24 modulo 32.
    at = s2
    if r.u32(at) != 99:
        raise Damage("no heap record at the second list's end")
    e = at + 4
    p = img[e]
    if p != 33 - ((e + 9) % 32) or any(img[e + 1:e + p]) or (e + p) % 32 != 24:
        raise Damage("heap padding %d after %d" % (p, e))
    found["heap_members"] = r.u32(e + p + 4)

    # Resources, from the third list's end to theirs.
    at, resources = sections[2], []
    while at < sections[3]:
        if r.u32(at) != 155 or r.u32(at + 16) >> 24 != 5:
            raise Damage("resource record at %d" % at)
        kind, length = r.u32(at + 16) & 0xFFFFFF, r.i64(at + 20)
        payload = img[at + 28:at + 28 + length]
        if kind == 0 and img[at + 28 + length] != 0:
            raise Damage("string resource without its zero")
        resources.append((at, kind, payload))
        at += 28 + length + (1 if kind == 0 else 0)
    if at != sections[3]:
        raise Damage("resources overrun their section")
    found["resources"] = resources

    if r.u32(sections[3]) != 156:
        raise Damage("import table")
    # Relocation table: head of 32 bytes, entries 64 apart.
    at = sections[4]
    if r.u32(at) != 164 or r.u32(at + 4) != LONG_WORD or any(img[at + 16:at + 32]):
        raise Damage("relocation head")
    count = r.u64(at + 8)
    if at + 32 + 64 * count != sections[5]:
        raise Damage("relocation entries do not end the section")
    found["relocations"] = []
    for i in range(count):
        entry = at + 32 + 64 * i
        if r.u32(entry) != 164 or any(img[entry + 28:entry + 64]):
            raise Damage("relocation entry %d" % i)
        name = r.cstring(entry + 56 + r.i64(entry + 8))
        found["relocations"].append((name, r.u32(entry + 20)))
    # Import module table: head 16, entries 16.
    at = sections[5]
    if r.u32(at) != 165 or r.u32(at + 4) != LONG_WORD:
        raise Damage("module head")
    count = r.u64(at + 8)
    if at + 16 + 16 * count != sections[6]:
        raise Damage("module entries do not end the section")
    found["modules"] = [r.cstring(at + 16 + 16 * i + 44 + r.i64(at + 16 + 16 * i + 8)) for i in range(count)]

    # Symbol table, then the debug record (unless -nd), then reflex.
    at = sections[6]
    if r.u32(at) != 163 or r.u64(at + 4) < 12:
        raise Damage("symbol record")
    at += r.u64(at + 4)
    found["debug"] = None
    if r.u32(at) == 162:
        words = [(r.u32(at + 4 + 12 * i), r.u64(at + 8 + 12 * i)) for i in range(4)]
        if any(w != INT_WORD for w, _ in words):
            raise Damage("debug counts are not int immediates")
        files, lines, variables, functions = [v for _, v in words]
        at += 52
        debug = {"files": [], "lines": [], "variables": [], "functions": []}
        for _ in range(files):
            path, at = r.text(at)
            debug["files"].append(path)
        for _ in range(lines):
            debug["lines"].append((r.u64(at), r.u64(at + 8), r.u64(at + 16)))
            at += 24
        for _ in range(variables):
            name, at = r.text(at + 8)
            debug["variables"].append(name)
        for _ in range(functions):
            start, length = at, r.u32(at + 8)
            name, at = r.text(at + 12)
            link, at = r.text(at)
            frames = r.u32(at + 4)
            at += 8
            for _ in range(frames):
                _, at = r.text(at)
            if at - start != length:
                raise Damage("function record length %d, %d written" % (length, at - start))
            debug["functions"].append(name)
        found["debug"] = debug
    if r.u32(at) != 217 or r.u32(at + 4) != LONG_WORD:
        raise Damage("no reflex record at %d" % at)
    table = r.u64(at + 8)
    if at + 16 + table != end:
        raise Damage("reflection table does not end the image")
    aux = img[at + 16:end]
    entries = [struct.unpack_from("<IQIQ", aux, 24 * i) for i in range(list2_count)]
    if list2_count and (len(aux) < 24 * list2_count or
                        any(tag != 0x5F00 or word != 0x10000 or value != 0 for tag, _, word, value in entries)):
        raise Damage("reflection entries of list 2")
    found["aux"] = aux
    return found


LAYOUT = """# every resource kind, tables and all three lists
string hello\\tworld
string-nomark quiet
binary 00ff10
file data.bin
reloc lib/thing 0x1234
reloc lib/other 7
module kernel32
code 0 33 $0
code 0 78 @3
code 0 106 9/4/1 4/4/-2
code 0 14
code 1 4
code 2 27
code 2 20 ~1
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    probe = Probe(build)
    korvo = os.path.join(build, "korvo")

    def checked(path, list2=0, what=""):
        try:
            return read_image(open(path, "rb").read(), list2)
        except (Damage, IndexError, ValueError, lzma.LZMAError) as error:
            probe.check(False, "%s: %s" % (what or path, error))
            return None

    with tempfile.TemporaryDirectory(prefix="korvo-image-") as work:
        def path(name):
            return os.path.join(work, name)

        open(path("layout"), "w").write(LAYOUT)
        open(path("data.bin"), "wb").write(b"\x01file\x02")
        open(path("icon.ico"), "wb").write(b"ICON" * 5)
        open(path("v.version"), "w").write(json.dumps({"fileversion": "1.2.3.4", "LANGUAGE": "chs"}))
        open(path("map.json"), "w").write(json.dumps({"HELLO\tWORLD": {"2052": "ni hao", "1033": "hi"}}))

        def build_image(out, *flags):
            status, stdout = probe.run("image-build", *flags, path("layout"), path(out))
            probe.check(status == 0, "image-build %s: status %d %r" % (flags, status, stdout))
            return stdout

        os.chdir(work)
        build_image("plain.kb")
        plain = checked(path("plain.kb"), 2)
        if plain:
            kinds = [kind for _, kind, _ in plain["resources"]]
            probe.check(kinds == [0, 0, 1, 2, 0, 0, 0], "resource kinds %s" % kinds)
            probe.check(plain["resources"][3][2] == b"\x01file\x02", "file resource holds the file")
            probe.check(plain["relocations"] == [("lib/thing", 0x1234), ("lib/other", 7)],
                        "relocations %s" % plain["relocations"])
            probe.check(plain["modules"] == ["kernel32"], "modules %s" % plain["modules"])
            probe.check(plain["debug"] is not None, "debug record by default")
            probe.check(plain["options"] == 0 and plain["version"] == 0 and plain["language"] == 0, "plain header")

        # Two runs differ only in the time stamp.
        build_image("again.kb")
        a, b = open(path("plain.kb"), "rb").read(), open(path("again.kb"), "rb").read()
        probe.check(len(a) == len(b) and a[:36] == b[:36] and a[44:] == b[44:], "two runs differ beyond 36..43")

        build_image("z.kb", "-z", "-ico", path("icon.ico"))
        zimage = checked(path("z.kb"), 2)
        zbytes = open(path("z.kb"), "rb").read()
        probe.check(zbytes[136:156] == b"ICON" * 5, "raw block behind the header")
        if zimage:
            probe.check(zimage["options"] == 1 and zimage["field72"] == 20, "-z options and raw block length")
            restored = plain_image(zbytes)
            probe.check(restored[136:] == a[136:], "-z decodes to the plain body")
        build_image("znoicon.kb", "-z")
        znoicon = checked(path("znoicon.kb"), 2)
        probe.check(znoicon is not None and znoicon["field72"] == 0, "-z without -ico: empty raw block")

        build_image("nd.kb", "-nd", "-slk")
        nd = checked(path("nd.kb"), 2)
        probe.check(nd is not None and nd["debug"] is None and nd["options"] == 2, "-nd -slk")

        build_image("v.kb", "-version", path("v.version"))
        v = checked(path("v.kb"), 2)
        probe.check(v is not None and v["version"] == 0x0001000200030004 and v["language"] == 0x804,
                     "version and language %r" % ((v["version"], v["language"]) if v else None,))

        out = build_image("map.kb", "-langmapping", path("map.json"), "-stringlists-sign", path("all.json"))
        mapped = checked(path("map.kb"), 2)
        if mapped:
            kind, payload = mapped["resources"][0][1:]
            want = struct.pack("<IIIIIII", 3, 1033, 0, 2052, 3, 0xFFFFFFFF, 10) + b"hi\0ni hao\0"
            probe.check(kind == 4 and payload == want, "translated string table %r" % payload)
        listed = json.load(open(path("all.json")))
        probe.check(list(listed) == ["quiet", "lib/thing", "lib/other", "kernel32"],
                    "string list keeps strings only, translated ones out: %s" % list(listed))
        probe.check(out.decode().strip() == "已输出字符串表 %s ." % path("all.json"), "string list message %r" % out)
        build_image("marked.kb", "-stringlists", path("marked.json"))
        probe.check(json.load(open(path("marked.json"))) == {"hello\tworld": {"0": "hello\tworld"}},
                    "only marked strings without -sign")

        # A file resource gone before the image is written: no output.
        open(path("gone.bin"), "wb").write(b"x")
        open(path("gone.layout"), "w").write("file gone.bin\nremove gone.bin\ncode 0 14\n")
        status, stdout = probe.run("image-build", path("gone.layout"), path("gone.kb"))
        probe.check(status == 1 and "无法读取资源:gone.bin" in stdout.decode() and not os.path.exists(path("gone.kb")),
                    "removed file resource: %d %r" % (status, stdout))

        # The compiler itself on an empty source.
        open(path("e.k"), "w").close()
        for flags, name in ((["-slk", "-c"], "e.kb"), (["-z", "-slk", "-c"], "ez.kb")):
            done = subprocess.run([korvo, *flags, "e.k", "-o", name], capture_output=True, cwd=work)
            text = done.stdout.decode()
            probe.check(done.returncode == 0 and "[Warning:268]" in text and "正在生成代码... " in text and
                        text.endswith("已生成:%s\n" % name), "korvo %s: %d %r" % (flags, done.returncode, text))
            checked(path(name), 0, "korvo " + " ".join(flags))
        listings = [subprocess.run([korvo, "-d", name, "-o", "stdout"], capture_output=True, cwd=work).stdout
                    for name in ("e.kb", "ez.kb")]
        probe.check(listings[0] == listings[1], "-z image lists as the plain one")
        head = listings[0].decode().split("\n\n", 1)[1]
        probe.check(head.startswith("\n0x000000C0-00000000 : exit "), "listing of e.kb starts %r" % head[:40])

        # A program with compiled bodies: classes, a base initialiser, a cast,
        # native member functions and an import block. Two compilations give
        # the same image but for the time stamp.
        open(path("p.k"), "w").write(
            "import \"m.so\" { int cdecl add(int a, int b); };\n"
            "class B { B() { } };\n"
            "class C : B { int stdcall f(int a); long cdecl f(long a); };\n"
            "int g(long x) { return (int)x; }\n"
            "int main(String[] args) { return 0; }\n")
        images = []
        for name in ("p1.kb", "p2.kb"):
            done = subprocess.run([korvo, "-c", "p.k", "-o", name], capture_output=True, cwd=work)
            probe.check(done.returncode == 0, "korvo -c p.k: %d %r" % (done.returncode, done.stdout))
            images.append(open(path(name), "rb").read() if os.path.exists(path(name)) else b"")
        a, b = images
        probe.check(len(a) == len(b) and a[:36] == b[:36] and a[44:] == b[44:],
                    "two compilations differ beyond the time stamp")

        # An image written in several pieces, each summed and written while
        # the next is encoded: the bytes and checksums as of one piece.
        open(path("big.k"), "w").write("".join(
            "class W%d { int f(int a) { int t = a, i; for (i = 0; i < a; i++) t += i * %d; return t; } };\n" % (i, i)
            for i in range(600)) + "int main(String[] args) { return 0; }\n")
        done = subprocess.run([korvo, "-c", "big.k", "-o", "big.kb"], capture_output=True, cwd=work)
        probe.check(done.returncode == 0 and os.path.getsize(path("big.kb")) > 3 << 18,
                    "korvo -c big.k: %d %r" % (done.returncode, done.stdout))
        checked(path("big.kb"), 0, "korvo -c big.k")
    probe.finish("test_image_format")


if __name__ == "__main__":
    main()
