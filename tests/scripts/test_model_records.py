#!/usr/bin/env python3
"""Records and containers that `korvo-probe model` encodes, read back with
struct readers written from the record tables: the generic record (opcode,
then per operand a word of data type and kind and a 64-bit value) and the
image form of a container (kind, count, 32-byte heads whose name and link
name are relative references into the name-string pool at 65536); signature
hashes against zlib.crc32."""
import argparse
import os
import random
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402

POOL_BASE = 65536


def check_records(probe, rng):
    lines, expected = [], []
    for n in range(40):
        opcode = rng.randrange(1, 260)
        count = rng.randrange(0, 11)
        operands = [(rng.randrange(1, 9), rng.randrange(0, 18), rng.randrange(-2**40, 2**40)) for _ in range(count)]
        position = rng.randrange(0, 1 << 20)
        text = " ".join("%d:%d:%d" % op for op in operands)
        lines += ["insn r%d %d %s" % (n, opcode, text), "place r%d %d" % (n, position), "encode r%d" % n]
        record = struct.pack("<I", opcode)
        for kind, data_type, value in operands:
            record += struct.pack("<Iq", (data_type << 24) | kind, value)
        expected += [str(position + len(record)), record.hex()]
    status, out = probe.model_script(lines)
    probe.check(status == 0 and out == expected, "generic records differ")


def read_ref(image, at, entry_pos, field_offset, pool):
    rel, length = struct.unpack_from("<QI", image, at)
    offset = rel - 12 + entry_pos + field_offset - POOL_BASE
    text = pool[offset:offset + length]
    return text.decode("utf-8") if pool[offset + length:offset + length + 1] == b"\0" else None


def check_container(probe, rng):
    names = ["v%d" % i for i in range(12)] + ["same", "same2"]
    types = ["int", "long", "String", "bool", "double"]
    members = [(name, rng.choice(types)) for name in names]
    position = 4096
    lines = ["container heap 10"]
    for name, type_name in members:
        lines += ["var %s %s" % (name, type_name), "add heap %s" % name]
    lines += ["place heap %d" % position, "encode heap", "pool"]
    status, out = probe.model_script(lines)
    image, pool = bytes.fromhex(out[-2]), bytes.fromhex(out[-1])
    kind, count = struct.unpack_from("<II", image, 0)
    probe.check((kind, count) == (10, len(members)), "container head %r" % ((kind, count),))
    probe.check(len(image) == 8 + 64 * len(members), "container size %d" % len(image))
    for i, (name, type_name) in enumerate(members):
        at = 8 + 64 * i
        entry_pos = position + at
        tag, = struct.unpack_from("<I", image, at)
        got_name = read_ref(image, at + 4, entry_pos, 4, pool)
        got_link = read_ref(image, at + 16, entry_pos, 16, pool)
        zero, value, word, type_value = struct.unpack_from("<IQIQ", image, at + 28)
        probe.check(tag == 18 and zero == 0 and value == 0, "entry %d head" % i)
        probe.check(got_name == name and got_link == "/%s@/%s" % (type_name, name), "entry %d names %r %r" % (i, got_name, got_link))
        depth, obj_kind, flags = word & 0xFF, (word >> 8) & 0xFF, (word >> 16) & 0xFF
        probe.check((depth, obj_kind, flags & 4, flags & 1) == (0, 18, 4, 1) and type_value > 0, "entry %d type operand" % i)
        probe.check(image[at + 52:at + 64] == bytes(12), "entry %d padding" % i)


def check_hashes(probe, rng):
    """Signature hashes are zlib's CRC-32 of the link name from the seed."""
    lines, wanted = ["obj Holder 31", "name Holder pkg.Holder"], []
    for n in range(20):
        type_name = rng.choice(["int", "String", "Object", "-"])
        seed = rng.randrange(1 << 32)
        lines += ["var h%d %s Holder" % (n, type_name), "link h%d" % n, "hash h%d %x" % (n, seed)]
        wanted.append(seed)
    status, out = probe.model_script(lines)
    for n, seed in enumerate(wanted):
        link, got = out[2 * n], out[2 * n + 1]
        want = "%08x" % zlib.crc32(link.encode(), seed)
        probe.check(got == want, "hash of %r from %08x: %s, want %s" % (link, seed, got, want))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    probe = Probe(parser.parse_args().bin)
    rng = random.Random(153)
    check_records(probe, rng)
    check_container(probe, rng)
    check_hashes(probe, rng)
    probe.finish("test_model_records")


if __name__ == "__main__":
    main()
