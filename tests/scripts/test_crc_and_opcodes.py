#!/usr/bin/env python3
"""`korvo-probe crc` must agree with Python's zlib.crc32, chained states
included; `korvo-probe lenstr` must refuse every length past the bytes left;
`korvo-probe opcodes` must list the table rows ascending, one per opcode."""
import argparse
import os
import random
import struct
import sys
import zlib

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    probe = Probe(parser.parse_args().bin)
    rng = random.Random(32)
    words = ["", "a", "123456789", "The quick brown fox", "/int@/main()", "@x/y#C"]
    words += ["".join(rng.choice("abcxyz@/#<>,()0123") for _ in range(rng.randint(1, 60))) for _ in range(20)]
    for word in words:
        for state in (0, 0xFFFFFFFF, rng.randrange(1 << 32)):
            status, out = probe.run("crc", word, "%x" % state)
            want = "%08x\n" % zlib.crc32(word.encode(), state)
            probe.check(status == 0 and out.decode() == want, "crc %r from %08x: %r, want %r" % (word, state, out, want))
    # Chaining: the CRC of one half continued over the other is the CRC of both.
    status, first = probe.run("crc", "12345")
    status, whole = probe.run("crc", "6789", first.decode().strip())
    probe.check(whole == b"cbf43926\n", "chained crc %r" % whole)

    for tail in (b"", b"x", b"hello", b"with\0nul"):
        for length in (len(tail), len(tail) + 1, 0xFFFFFFFF, 0x80000000, 0x7FFFFFFF):
            data = struct.pack("<I", length) + tail
            status, out = probe.run("lenstr", data.hex())
            if length <= len(tail):
                text = tail[:length].split(b"\0")[0]
                want = b"ok" + (b" " + text if text else b"") + b"\n"
            else:
                want = b"fail\n"
            probe.check(out == want, "lenstr %s: %r, want %r" % (data.hex(), out, want))
    status, out = probe.run("lenstr", "010000")
    probe.check(out == b"fail\n", "a short length field must fail: %r" % out)

    status, out = probe.run("opcodes")
    rows = [line.split("\t") for line in out.decode("utf-8").splitlines()]
    numbers = [int(row[0]) for row in rows]
    probe.check(len(rows) == 247 and numbers == sorted(set(numbers)), "opcode rows ascending and unique")
    missing = set(range(1, 260)) - set(numbers)
    probe.check(missing == {44, 48, 49, 50, 51, 58, 59, 95, 96, 153, 169, 179}, "opcodes without rows: %s" % missing)
    probe.check(all(len(row) == 3 and (row[2] == "record" or row[2].isdigit()) for row in rows), "row shape")
    probe.finish("test_crc_and_opcodes")


if __name__ == "__main__":
    main()
