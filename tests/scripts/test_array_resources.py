#!/usr/bin/env python3
"""Constant array initialisers as the image holds them: each `initarray`
record (opcode 18: the element type id, the data size as an int immediate,
a resource reference of kind 30 counted from the end of the record)
points at a binary resource record (opcode 155, kind 1, the length, then
the bytes). The bytes are checked with struct against the values converted
to the element type, little-endian."""
import argparse
import os
import re
import struct
import subprocess
import sys
import tempfile

SOURCE = """int main(String[] args) {
    byte[] b = {1, 300, -1};
    char[] c = {65, 0x4E2D};
    short[] s = {-2, 32767};
    int[] i = {1, 2, 3};
    long[] l = {-1, 5000000000};
    float[] f = {1.5, 2};
    double[] d = {1, 2.25};
    int[] t = {1.9, -1.9};
    return 0;
}
"""

# (type id, struct format of the elements, the values they must hold)
EXPECTED = [
    (1, "<3B", (1, 44, 255)),
    (2, "<2H", (65, 0x4E2D)),
    (3, "<2h", (-2, 32767)),
    (4, "<3i", (1, 2, 3)),
    (5, "<2q", (-1, 5000000000)),
    (6, "<2f", (1.5, 2.0)),
    (7, "<2d", (1.0, 2.25)),
    (4, "<2i", (1, -1)),
]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    korvo = os.path.join(args.bin, "korvo")
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvo-arrays-") as work:
        source = os.path.join(work, "a.k")
        image_path = os.path.join(work, "a.kb")
        with open(source, "w", encoding="utf-8") as f:
            f.write(SOURCE)
        compiled = subprocess.run([korvo, "-c", source, "-w", "-o", image_path], capture_output=True)
        if compiled.returncode != 0:
            sys.exit("compile failed:\n" + compiled.stdout.decode("utf-8", "replace"))
        listing = subprocess.run([korvo, "-d", image_path, "-o", "stdout"], capture_output=True)
        image = open(image_path, "rb").read()
    # The listing only says where the records are; their bytes are read here.
    records = [int(m.group(1), 16)
               for m in re.finditer(rb"^0x([0-9A-F]{8})-00000000 : initarray ", listing.stdout, re.M)]
    if len(records) != len(EXPECTED):
        sys.exit("%d initarray records, expected %d" % (len(records), len(EXPECTED)))
    for at, (type_id, layout, values) in zip(records, EXPECTED):
        opcode, = struct.unpack_from("<I", image, at)
        (w0, v0), (w1, v1), (w2, v2) = (struct.unpack_from("<Iq", image, at + 4 + 12 * k) for k in range(3))
        size = struct.calcsize(layout)
        if opcode != 18 or (w0 & 0xFFFFFF, v0) != (23, type_id) or (w1 & 0xFFFFFF, v1) != (4, size):
            failures.append("record at %#x: opcode %d, type %d:%d, size %d:%d" % (at, opcode, w0 & 0xFFFFFF, v0,
                                                                                 w1 & 0xFFFFFF, v1))
            continue
        if w2 & 0xFFFFFF != 30:
            failures.append("record at %#x: resource operand of kind %d" % (at, w2 & 0xFFFFFF))
            continue
        resource = at + 40 + v2
        rop, = struct.unpack_from("<I", image, resource)
        kind_word, length = struct.unpack_from("<Iq", image, resource + 16)
        if rop != 155 or kind_word & 0xFFFFFF != 1 or length != size:
            failures.append("resource at %#x: opcode %d, kind %d, length %d" % (resource, rop, kind_word & 0xFFFFFF,
                                                                             length))
            continue
        held = struct.unpack_from(layout, image, resource + 28)
        if held != values:
            failures.append("type %d: %r, expected %r" % (type_id, held, values))
    for failure in failures:
        print("FAIL:", failure)
    if failures:
        sys.exit(1)
    print("test_array_resources: all checks passed")


if __name__ == "__main__":
    main()
