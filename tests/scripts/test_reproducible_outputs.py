#!/usr/bin/env python3
"""With SOURCE_DATE_EPOCH set, two compiles of one source give the same
bytes, image and Windows executable alike, stamped with that time; without
it the image carries the clock's time."""
import argparse
import os
import struct
import subprocess
import sys
import tempfile
import time

EPOCH = 1700000000
SOURCE = b"int main(String[] args) {\n    return args.length;\n}\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvo-reproducible-") as work:
        with open(os.path.join(work, "p.k"), "wb") as f:
            f.write(SOURCE)

        def build(name, mode, *options, epoch=EPOCH, optional=False):
            env = dict(os.environ)
            env.pop("SOURCE_DATE_EPOCH", None)
            if epoch is not None:
                env["SOURCE_DATE_EPOCH"] = str(epoch)
            done = subprocess.run([korvo, *options, mode, "p.k", "-o", name], cwd=work, env=env, capture_output=True)
            if done.returncode != 0 and optional:
                print("skipped (no Windows stub here):", name)
                return b""
            if done.returncode != 0:
                failures.append("%s: %s" % (name, done.stdout.decode("utf-8", "replace")[-300:]))
                return b""
            return open(os.path.join(work, name), "rb").read()

        first = build("a.kb", "-c")
        time.sleep(0.01)  # another millisecond, which the clock's stamp would show
        if build("b.kb", "-c") != first:
            failures.append("two images differ")
        if first[36:44] != struct.pack("<Q", EPOCH * 1000):
            failures.append("image stamp %r" % first[36:44])
        clock = build("c.kb", "-c", epoch=None)
        stamp = struct.unpack("<Q", clock[36:44])[0] // 1000
        if abs(stamp - time.time()) > 600:
            failures.append("without the variable the image stamp is not the clock's: %d" % stamp)

        exe = build("a.exe", "-ce", "-kcross-windows", optional=True)
        if exe:
            time.sleep(1.01)  # the executable's stamp counts seconds
            if build("b.exe", "-ce", "-kcross-windows") != exe:
                failures.append("two executables differ")
            pe = struct.unpack("<I", exe[60:64])[0]
            if exe[:2] != b"MZ" or struct.unpack("<I", exe[pe + 8:pe + 12])[0] != EPOCH:
                failures.append("executable stamp")
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
