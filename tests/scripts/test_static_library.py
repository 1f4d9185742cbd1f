#!/usr/bin/env python3
"""Static libraries written by korvo, checked by a reader written here from
the byte layout alone, and damaged copies handed back to korvo with -lib."""
import argparse
import glob
import os
import re
import random
import shutil
import struct
import subprocess
import tempfile

from probe_support import Probe

SOURCES = {
    "hello.k": None,  # examples/hello.k
    "util.k": "// helpers\nclass Util {\n    static int twice(int x) {\n        return x * 2;\n    }\n};\n",
}


def parse_library(data, strict=True):
    """Returns (paths, records) or raises ValueError naming the first fault."""
    def u32(at):
        if at + 4 > len(data):
            raise ValueError("short read at %d" % at)
        return struct.unpack_from("<I", data, at)[0]

    if data[:3] != b"KL!" or u32(3) != 1:
        raise ValueError("magic or version")
    count = u32(7)
    offsets = [u32(11 + 4 * i) for i in range(count)]
    length = u32(11 + 4 * count)
    payload = data[15 + 4 * count:]
    if len(payload) != length:
        raise ValueError("payload length %d, file has %d" % (length, len(payload)))
    at = 4
    paths = []
    for _ in range(struct.unpack_from("<I", payload, 0)[0]):
        n = struct.unpack_from("<I", payload, at)[0]
        paths.append(payload[at + 4:at + 4 + n].decode("utf-8"))
        at += 4 + n
    if offsets[0] != at:
        raise ValueError("first record at %d, string list ends at %d" % (offsets[0], at))
    records = []
    for i, offset in enumerate(offsets):
        kind = struct.unpack_from("<I", payload, offset)[0]
        n = struct.unpack_from("<I", payload, offset + 4)[0]
        text = payload[offset + 8:offset + 8 + n]
        fields = struct.unpack_from("<10I", payload, offset + 8 + n)
        flags, file_index, _, _, _, _, own, operands, children, index_count = fields
        indices = list(struct.unpack_from("<%dI" % index_count, payload, offset + 48 + n))
        end = offset + 48 + n + 4 * index_count
        if own != i:
            raise ValueError("record %d says it is %d" % (i, own))
        if kind != 62:
            if index_count != operands + children + (1 if flags & 0x100 else 0):
                raise ValueError("record %d: index count" % i)
            if file_index >= len(paths):
                raise ValueError("record %d: file %d" % (i, file_index))
        elif strict and (n, flags, index_count) != (0, 0, 0):
            raise ValueError("empty record %d carries data" % i)
        if strict and end != (offsets[i + 1] if i + 1 < count else length):
            raise ValueError("record %d does not end where the next begins" % i)
        records.append((kind, text, indices))
    # Breadth first: the index lists, read in record order, number every
    # node but the root exactly once, in order.
    listed = [j for _, _, indices in records for j in indices]
    if listed != list(range(1, count)):
        raise ValueError("indices are not breadth-first: %r" % listed[:20])
    return paths, records


def chain_library(depth):
    """A library whose tree is a chain: each node's one operand is the next."""
    strings = struct.pack("<II", 1, 6) + b"deep.k"
    records, offsets = bytearray(), []
    for i in range(depth):
        offsets.append(len(strings) + len(records))
        below = [i + 1] if i + 1 < depth else []
        records += struct.pack("<II", 40 if below else 8, 1) + b"x"
        records += struct.pack("<10I", 0, 0, 0, 0, 0, 0, i, len(below), 0, len(below))
        records += b"".join(struct.pack("<I", j) for j in below)
    head = struct.pack("<I", depth) + b"".join(struct.pack("<I", o) for o in offsets)
    payload = strings + bytes(records)
    return b"KL!" + struct.pack("<I", 1) + head + struct.pack("<I", len(payload)) + payload


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    probe = Probe(args.bin)
    probe.path = os.path.join(os.path.abspath(args.bin), "korvo")
    root = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    bin_dir = os.path.abspath(args.bin)

    with tempfile.TemporaryDirectory(prefix="korvo-lik-") as work:
        os.chdir(work)
        for name, text in SOURCES.items():
            if text is None:
                shutil.copyfile(os.path.join(root, "examples", name), name)
            else:
                open(name, "w").write(text)

        status, out = probe.run("-c", "hello.k", "util.k", "-lik", "-o", "both.lik")
        probe.check(status == 0, "exit status %d" % status)
        probe.check(out.endswith("正在生成静态库...\n已生成:both.lik\n".encode()), "messages: %r" % out[-80:])
        data = open("both.lik", "rb").read()
        probe.check(data[:7] == b"KL!\x01\x00\x00\x00", "head %r" % data[:7])
        try:
            paths, records = parse_library(data)
            probe.check(paths == ["hello.k", "util.k"], "paths %r" % paths)
            probe.check(records[0][0] == 20 and records[0][1] == b"hello.k", "root %r" % (records[0][:2],))
        except (ValueError, struct.error) as fault:
            probe.check(False, "layout: %s" % fault)

        # Round trip over the parser's test corpus: the tree read back prints
        # as the parsed one (doc comments are not stored in libraries).
        probe_path = probe.path
        corpus = sorted(glob.glob(os.path.join(root, "tests", "golden", "ast", "*", "*", "input.k")))
        corpus.append(os.path.join(root, "examples", "hello.k"))
        for number, source in enumerate(corpus):
            shutil.copyfile(source, "corpus%d.k" % number)
        probe.run("-c", *["corpus%d.k" % n for n in range(len(corpus))], "-lik", "-o", "corpus.lik")
        probe.path = os.path.join(bin_dir, "korvo-probe")
        for number, source in enumerate(corpus):
            _, parsed = probe.run("ast", "corpus%d.k" % number)
            _, read = probe.run("lik-ast", "--source", str(number), "corpus.lik")
            parsed = re.sub(rb' doc="(?:[^"\\]|\\.)*"', b"", parsed)
            probe.check(parsed == read, "round trip of %s differs" % source)
        probe.path = probe_path

        # A tree 100,000 levels deep reads and prints without recursion (the
        # indented text grows with the square of the depth: it goes nowhere).
        open("deep.lik", "wb").write(chain_library(100000))
        probe.path = os.path.join(bin_dir, "korvo-probe")
        done = subprocess.run([probe.path, "lik-ast", "deep.lik"], stdout=subprocess.DEVNULL,
                              stderr=subprocess.PIPE, timeout=300)
        probe.check(done.returncode == 0, "deep library: status %d %s" % (done.returncode, done.stderr[-300:]))
        probe.path = probe_path

        probe.run("-c", "hello.k", "util.k", "-lik", "-o", "again.lik")
        probe.check(open("again.lik", "rb").read() == data, "two runs wrote different bytes")

        status, listing = probe.run("-c", "hello.k", "-lib", "both.lik", "-o", "out")
        probe.check("损坏".encode() not in listing, "sound library refused")

        # A library not beside the sources is found through -libpath.
        os.mkdir("libs")
        shutil.copyfile("both.lik", os.path.join("libs", "moved.lik"))
        _, out = probe.run("-c", "hello.k", "-libpath", "none", "libs", "-lib", "moved.lik", "-o", "out")
        probe.check("找不到文件".encode() not in out and "损坏".encode() not in out, "-libpath: %r" % out[-120:])
        status, out = probe.run("-c", "hello.k", "-libpath", "libs", "-lib", "nowhere.lik", "-o", "out")
        probe.check(status == 1 and "找不到文件: nowhere.lik\n".encode() in out, "missing library: %r" % out[-120:])

        open("bad.k", "w").write("class Bad {\n    int x = ;\n};\n")
        open("kept.lik", "wb").write(b"old")
        for target in ("fresh.lik", "kept.lik"):
            status, out = probe.run("-c", "bad.k", "-lik", "-o", target)
            probe.check(status == 1, "syntax error: exit status %d" % status)
            probe.check("已生成".encode() not in out and "正在生成静态库".encode() not in out, "syntax error output")
        probe.check(not os.path.exists("fresh.lik"), "syntax error left an output file")
        probe.check(open("kept.lik", "rb").read() == b"old", "syntax error touched an existing file")

        # Damaged copies: every one is refused with a message, never a crash.
        damaged = [data[:n] for n in sorted({0, 2, 3, 6, 7, 10, 11, 14, len(data) // 2, len(data) - 1})]
        rng = random.Random(7)
        for _ in range(24):
            flipped = bytearray(data)
            bit = rng.randrange(7 * 8, len(data) * 8)
            flipped[bit // 8] ^= 1 << (bit % 8)
            damaged.append(bytes(flipped))
        for number, blob in enumerate(damaged):
            open("damaged.lik", "wb").write(blob)
            status, out = probe.run("-c", "hello.k", "-lib", "damaged.lik", "-o", "out")
            probe.check(status == 1, "damaged copy %d: exit status %d" % (number, status))
            try:
                # korvo stops reading an empty record at its kind and a
                # record at its last index, so judge the copy the same way.
                parse_library(blob, strict=False)
                sound = True
            except (ValueError, struct.error, UnicodeDecodeError):
                sound = False
            refused = "damaged.lik".encode() in out and "发生错误,编译中断".encode() in out
            probe.check(sound or refused, "damaged copy %d accepted silently: %r" % (number, out[-120:]))
        os.chdir(root)
    probe.finish("test_static_library")


if __name__ == "__main__":
    main()
