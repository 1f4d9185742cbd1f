#!/usr/bin/env python3
"""`korvo-probe b64` must decode what coreutils `base64` encodes: wrapped
lines, unwrapped text, and text whose final '=' padding was dropped."""
import argparse
import os
import random
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402


def encode(data, wrap):
    return subprocess.run(["base64", f"--wrap={wrap}"], input=data, capture_output=True, check=True).stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    probe = Probe(parser.parse_args().bin)
    rng = random.Random(4096)
    lengths = list(range(0, 12)) + [56, 57, 58, 100, 171, 300] + [rng.randint(1, 600) for _ in range(10)]
    for length in lengths:
        data = bytes(rng.randrange(256) for _ in range(length))
        # Wrapped at 76 (CR LF and LF line ends), unwrapped, and unpadded.
        wrapped = encode(data, 76)
        unwrapped = encode(data, 0)
        variants = {"wrapped": wrapped, "crlf": wrapped.replace(b"\n", b"\r\n"), "unwrapped": unwrapped,
                    "unpadded": unwrapped.rstrip(b"=")}
        for name, text in variants.items():
            status, decoded = probe.run("b64", text.decode("ascii"))
            probe.check(status == 0 and decoded == data, f"{length} bytes, {name}: exit {status} {decoded.hex()}")
    probe.finish("base64")


if __name__ == "__main__":
    main()
