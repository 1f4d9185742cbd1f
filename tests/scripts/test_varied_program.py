#!/usr/bin/env python3
"""The bench's varied program (bench/varied_program.py) compiles whole, at a
few seeds: every expression of it is new, so a parser or checker that only
knows the shapes of the other bench program fails here first, and the bench
would time a compiler that stopped at its first error."""
import argparse
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import varied_program  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    failures = 0
    with tempfile.TemporaryDirectory(prefix="korvo-varied-") as work:
        for seed in (1, 2, 3):
            source = os.path.join(work, "varied%d.k" % seed)
            with open(source, "w") as f:
                f.write(varied_program.generate(1200, seed)["korvo"])
            done = subprocess.run([korvo, "-c", source, "-o", os.path.join(work, "varied.kb")], capture_output=True,
                                  timeout=300)
            printed = done.stdout.decode("utf-8", "replace")
            if done.returncode != 0 or "[Error]" in printed:
                failures += 1
                print("FAIL: seed %d (exit %d):\n%s" % (seed, done.returncode, printed[-3000:]))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
