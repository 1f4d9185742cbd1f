"""The LZMA container against xz --format=lzma and Python's lzma."""
import argparse
import lzma
import os
import random
import struct
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402


def samples():
    rng = random.Random(1049)
    words = [b"class ", b"Stream ", b"return ", b"korvo ", b"{\n", b"}\n", b"0x7f "]
    text = b"".join(rng.choice(words) for _ in range(150000))
    return {
        "empty": b"",
        "one": b"k",
        "text": text,
        "random": bytes(rng.getrandbits(8) for _ in range(70000)),
        "runs": b"\0" * 300000 + b"\xff" * 1000,
    }


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    probe = Probe(args.bin)
    with tempfile.TemporaryDirectory() as folder:
        def path(name):
            return os.path.join(folder, name)

        for name, data in samples().items():
            with open(path(name), "wb") as f:
                f.write(data)
            # Ours: level-5 properties, the known size, readable by both references.
            code, _ = probe.run("lzma", "c", path(name), path(name + ".ours"))
            probe.check(code == 0, "%s: compression failed" % name)
            ours = open(path(name + ".ours"), "rb").read()
            probe.check(ours[:5] == b"\x5d\x00\x00\x00\x01", "%s: properties %r" % (name, ours[:5]))
            probe.check(struct.unpack("<Q", ours[5:13])[0] == len(data), "%s: size field" % name)
            probe.check(lzma.decompress(ours, format=lzma.FORMAT_ALONE) == data, "%s: Python disagrees" % name)
            xz = subprocess.run(["xz", "--format=lzma", "-dc", path(name + ".ours")], capture_output=True)
            probe.check(xz.returncode == 0 and xz.stdout == data, "%s: xz disagrees" % name)

            # Theirs: unknown size and an end marker.
            theirs = {
                "xz": subprocess.run(["xz", "--format=lzma", "-c", path(name)], capture_output=True, check=True).stdout,
                "python": lzma.compress(data, format=lzma.FORMAT_ALONE),
                "python-lc0": lzma.compress(data, format=lzma.FORMAT_ALONE, filters=[
                    {"id": lzma.FILTER_LZMA1, "lc": 0, "lp": 2, "pb": 0, "dict_size": 1 << 16}]),
            }
            for maker, container in theirs.items():
                with open(path("in.lzma"), "wb") as f:
                    f.write(container)
                code, _ = probe.run("lzma", "d", path("in.lzma"), path("out"))
                probe.check(code == 0 and open(path("out"), "rb").read() == data,
                            "%s from %s did not decompress" % (name, maker))

        # Cut at every byte and flip every byte of small containers: a
        # result, never a crash; a cut never passes as a whole stream.
        data = b"korvo korvo " * 20 + bytes(range(64))
        known = lzma.compress(data, format=lzma.FORMAT_ALONE)
        with open(path("small"), "wb") as f:
            f.write(data)
        probe.run("lzma", "c", path("small"), path("small.lzma"))
        ours = open(path("small.lzma"), "rb").read()
        for label, container in (("ours", ours), ("python", known)):
            for cut in range(len(container)):
                with open(path("cut.lzma"), "wb") as f:
                    f.write(container[:cut])
                code, _ = probe.run("lzma", "d", path("cut.lzma"), path("out"))
                probe.check(code == 1, "%s cut at %d decoded" % (label, cut))
                if cut < 13:
                    probe.check(os.path.getsize(path("out")) == 0, "%s cut in the header wrote bytes" % label)
            for at in range(len(container)):
                bad = bytearray(container)
                bad[at] ^= 0x5A
                with open(path("bad.lzma"), "wb") as f:
                    f.write(bad)
                code, _ = probe.run("lzma", "d", path("bad.lzma"), path("out"))
                probe.check(code in (0, 1), "%s flipped at %d: status %d" % (label, at, code))

        # A header naming a 4 GiB dictionary is refused, not obeyed.
        hostile = b"\x5d\xff\xff\xff\xff" + b"\xff" * 8 + known[13:]
        with open(path("hostile.lzma"), "wb") as f:
            f.write(hostile)
        code, _ = probe.run("lzma", "d", path("hostile.lzma"), path("out"))
        probe.check(code == 1, "a 4 GiB dictionary was accepted")
    probe.finish("test_lzma_reference")


if __name__ == "__main__":
    main()
