#!/usr/bin/env python3
"""Writes the hand-made program images that the listing cases read.

The bytes come from the image layout alone (struct, zlib and lzma), not from
the compiler, so the listing is checked against an independent writer. Run it
after changing a case and review the listings with run_case.py --update.
"""
import lzma
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))


def operand(kind, value, dtype=0):
    return struct.pack("<Iq", (dtype << 24) | kind, value)


def record(opcode, *operands):
    return struct.pack("<I", opcode) + b"".join(operand(*o) for o in operands)


class Image:
    def __init__(self):
        self.body = bytearray()

    @property
    def at(self):
        return 192 + len(self.body)

    def add(self, data):
        start = self.at
        self.body += data
        return start

    def resource(self, kind, data):
        tail = b"\0" if kind == 0 else b""
        return self.add(record(155, (0, 0), (kind, len(data), 5)) + data + tail)

    def finish(self, options=0):
        end = 192 + len(self.body)
        sections = struct.pack("<7Q", *([end] * 7))
        rest = sections + bytes(self.body)
        head = struct.pack("<QIIIQQQI", 0, 0x1000, 9, 4, options, 0, end, 0)
        crc_whole = zlib.crc32(rest)
        region = zlib.crc32(bytes(self.body))
        head += struct.pack("<IIIIQI", crc_whole, region, 0, 0, 0, 0)
        head += bytes(128 - len(head))
        return b"KB! " + struct.pack("<I", 1049) + head + rest


def compress(image, raw=b""):
    head = bytearray(image[:136])
    struct.pack_into("<Q", head, 28, struct.unpack_from("<Q", head, 28)[0] | 1)
    struct.pack_into("<Q", head, 72, len(raw))
    return bytes(head) + raw + lzma.compress(image[136:], format=lzma.FORMAT_ALONE)


def every_record():
    img = Image()
    img.add(record(14))                              # exit, no operands
    img.add(record(0xF000000E))                      # high opcode bits are not the opcode
    img.add(record(0))                               # no opcode: the address alone, 4 bytes on
    img.add(struct.pack("<I", 44))                   # an opcode without a row
    img.add(struct.pack("<I", 250))                  # a row without a mnemonic
    img.add(struct.pack("<I", 300))                  # beyond the table
    kinds = [(0, 0), (1, -3), (2, 65), (3, 0x1FFFF0000 - 2), (4, -7), (5, -(1 << 40)),
             (6, struct.unpack("<I", struct.pack("<f", 1.5))[0]),
             (7, struct.unpack("<q", struct.pack("<d", -2.25))[0]), (8, 0), (8, 5),
             (9, 3), (10, 4), (11, 5), (12, 6), (13, 7), (14, 8), (15, 9), (16, 10),
             (20, 0), (21, 0), (21, 1), (21, 2), (21, 3), (21, 4), (23, 17),
             (25, 0x123456789), (26, 0x40), (31, 38), (32, 2), (37, 9), (39, 10), (17, 1), (33, 2)]
    for kind, value in kinds:
        img.add(record(33, (kind, value)))           # push: one operand
    for dtype in range(18):
        img.add(record(35, (4, dtype, dtype)))       # every data type suffix
    # Targets count from the end of each record, whatever its opcode.
    for opcode, count in ((78, 1), (106, 2), (108, 2), (43, 3), (18, 3), (2, 2), (79, 2), (170, 5), (105, 7), (209, 7)):
        ops = [(19, -8, 5), (24, 16), (30, 0x100, 12)] + [(5, i) for i in range(count)]
        img.add(record(opcode, *ops[:count]))
    img.resource(0, "line\r\nnext\ttab é".encode())
    img.resource(1, bytes(range(7)))
    img.resource(2, b"file bytes")
    img.resource(4, struct.pack("<IIIII", 2, 0x804, 0, 0xFFFFFFFF, 3) + b"ab\0")
    name = img.resource(0, b"lib.k/helper")
    module = img.resource(0, b"kernel32")
    img.add(record(217, (5, 12)) + struct.pack("<IQ", 0x5F00, 0x1234))  # reflex and its table
    # Relocation table: head 32, entries 64 apart, names through resources.
    table = img.at
    img.add(record(164, (5, 2), (0, 0)) + bytes(4))
    for i in range(2):
        entry = img.at
        img.add(record(164, (24, name - entry - 28), (4, 0x11223344 + i, 4)) + bytes(36))
    img.add(record(165, (5, 1)))
    entry = img.at
    img.add(record(166, (24, module - entry - 16)))
    img.add(record(163) + struct.pack("<Q", 12 + 5)[:8] + b"ab\0c\0")
    img.add(record(62, (9, 1, 4), (4, 2, 4)))
    img.add(record(162, (4, 0), (4, 0), (4, 0), (4, 0)))
    img.add(record(14) * 2)                          # nothing after debuginfo is listed
    assert table
    return img.finish()


def entry(at, tag, name, link, value):
    """A container entry at `at`: head of tag and two name references, then a
    32-byte body starting with value."""
    return (struct.pack("<IqIqII", tag, name[0] + 12 - (at + 4), name[1], link[0] + 12 - (at + 16), link[1], 0)
            + struct.pack("<Q", value) + bytes(24))


def tables():
    """The records the model lists: the heap behind its padding, and the
    native import table with one module."""
    img = Image()
    text = img.resource(0, b"counter\0counter@g\0kernel32") + 28
    counter, link, library = (text, 7), (text + 8, 9), (text + 18, 8)
    img.add(record(99))
    e = img.at
    padding = 33 - ((e + 9) % 32)
    img.add(bytes([padding]) + bytes(padding - 1))
    heap = img.at
    assert heap % 32 == 24
    img.add(struct.pack("<II", 10, 2))
    img.add(entry(img.at, 18, counter, link, 0))
    img.add(entry(img.at, 32, counter, counter, 38))
    img.add(struct.pack("<II", 156, 1))
    img.add(struct.pack("<QI", 0, 8) + b"kernel32" + struct.pack("<II", 4, 0))
    img.add(record(162))
    assert library
    return img.finish()


def long_damaged():
    """A listing of some hundred kilobytes, which goes out piece by piece,
    damaged at its end: the last heap entry names a text past the image."""
    img = Image()
    for _ in range(2000):
        img.add(record(14))
    text = img.resource(0, b"n\0") + 28
    img.add(record(99))
    e = img.at
    padding = 33 - ((e + 9) % 32)
    img.add(bytes([padding]) + bytes(padding - 1))
    count = 500
    img.add(struct.pack("<II", 10, count))
    for i in range(count):
        name = (text, 1) if i + 1 < count else (1 << 20, 1)
        img.add(entry(img.at, 18, name, name, 0))
    img.add(record(162))
    return img.finish()


def write(case, name, data):
    os.makedirs(os.path.join(HERE, case), exist_ok=True)
    with open(os.path.join(HERE, case, name), "wb") as f:
        f.write(data)


def main():
    image = every_record()
    write("every_record", "a.kb", image)
    write("compressed", "a.kb", compress(image, b"ICONBYTES"))
    # Damage: a record cut short, to standard output and to a file.
    cut = image[:192 + 4 + 4 + 4 + 4 + 4 + 4 + 16 * 3 + 9]
    write("truncated", "a.kb", cut)
    write("truncated_to_file", "a.kb", cut)
    write("short_image", "a.kb", image[:191])
    bomb = bytearray(compress(image))
    struct.pack_into("<Q", bomb, 44, (1 << 30) + 1)
    write("compressed_claims_too_much", "a.kb", bytes(bomb))
    small = bytearray(compress(image))
    struct.pack_into("<Q", small, 44, 400)           # the body decodes past what the header allows
    write("compressed_longer_than_end", "a.kb", bytes(small))
    table_image = tables()
    write("tables", "a.kb", table_image)
    # The heap's first name pointed past the end of the image.
    broken = bytearray(table_image)
    struct.pack_into("<q", broken, 0x120 + 4, 1 << 20)
    write("tables_name_outside", "a.kb", bytes(broken))
    small = Image()
    small.add(record(106, (9, 2, 9), (30, 0, 12)))
    write("to_file", "a.kb", small.finish())
    write("long_damaged_to_file", "a.kb", long_damaged())


if __name__ == "__main__":
    main()
