#!/usr/bin/env python3
"""`korvo-probe b64` must decode what coreutils `base64` encodes: wrapped
lines, unwrapped text, and text whose final '=' padding was dropped."""
import argparse
import os
import random
import subprocess
import sys

SANITIZER_ENV = dict(os.environ, ASAN_OPTIONS="exitcode=86", UBSAN_OPTIONS="exitcode=87:print_stacktrace=1")


def encode(data, wrap):
    return subprocess.run(["base64", f"--wrap={wrap}"], input=data, capture_output=True, check=True).stdout


def decode(probe, text):
    result = subprocess.run([probe, "b64", text.decode("ascii")], capture_output=True, env=SANITIZER_ENV)
    if result.returncode != 0:
        raise RuntimeError(f"exit {result.returncode}: {result.stderr[-400:]!r}")
    return result.stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    probe = os.path.join(args.bin, "korvo-probe")
    rng = random.Random(4096)
    checks = 0
    failures = []
    lengths = list(range(0, 12)) + [56, 57, 58, 100, 171, 300] + [rng.randint(1, 600) for _ in range(10)]
    for length in lengths:
        data = bytes(rng.randrange(256) for _ in range(length))
        # Wrapped at 76 (CR LF and LF line ends), unwrapped, and unpadded.
        wrapped = encode(data, 76)
        unwrapped = encode(data, 0)
        variants = {"wrapped": wrapped, "crlf": wrapped.replace(b"\n", b"\r\n"), "unwrapped": unwrapped,
                    "unpadded": unwrapped.rstrip(b"=")}
        for name, text in variants.items():
            checks += 1
            try:
                decoded = decode(probe, text)
            except RuntimeError as error:
                failures.append(f"{length} bytes, {name}: {error}")
                continue
            if decoded != data:
                failures.append(f"{length} bytes, {name}: {decoded.hex()} != {data.hex()}")
    for failure in failures[:20]:
        print(failure)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
