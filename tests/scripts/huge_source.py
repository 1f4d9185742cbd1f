#!/usr/bin/env python3
"""A source just past what 32-bit positions reach, with an undefined name
after the last byte they do: the compile must refuse the file (exit 1, no
output), never compile the part before. Writes a 2 GiB file in a scratch
folder, so CTest does not run it: python3 huge_source.py --bin build"""
import argparse
import os
import subprocess
import sys
import tempfile

SIZE = 2147483679
HEAD = b"int main(String[] args) {\n    return 0;\n}\n"
TAIL = b"\nint f(){return undefinedName;}\n"  # all of it past byte 2147483646


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    with tempfile.TemporaryDirectory(prefix="korvo-huge-") as work:
        source = os.path.join(work, "huge.k")
        with open(source, "wb") as f:
            f.write(HEAD)
            block = b" " * (1 << 20)
            left = SIZE - len(HEAD) - len(TAIL)
            while left > 0:
                f.write(block[:min(left, len(block))])
                left -= min(left, len(block))
            f.write(TAIL)
        assert os.path.getsize(source) == SIZE
        done = subprocess.run([korvo, "-c", source, "-o", os.path.join(work, "huge.kb")], capture_output=True)
        out = done.stdout.decode("utf-8", "replace")
        print(out.strip())
        print("exit", done.returncode)
        ok = done.returncode == 1 and "已生成" not in out and not os.path.exists(os.path.join(work, "huge.kb"))
        print("refused whole" if ok else "FAIL: part of the file was compiled")
        return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
