#!/usr/bin/env python3
"""Documents written by Python's json module must come back from
`korvo-probe json` as the same value; cut or damaged documents must be
refused or read, never crash the reader."""
import argparse
import json
import math
import os
import random
import subprocess
import sys
import tempfile

SANITIZER_ENV = dict(os.environ, ASAN_OPTIONS="exitcode=86", UBSAN_OPTIONS="exitcode=87:print_stacktrace=1")

# Strings are terminated C texts in the reader, so U+0000 cannot survive and
# is left out; lone surrogates are not characters and are left out too.
ALPHABET = ["a", "Z", "0", " ", "\"", "\\", "/", "\t", "\n", "\r", "\b", "\f", "\x01", "\x1f", "\x7f",
            "é", "中", "€", "\U0001F600", "\U00010348", "\uffff"]


def random_string(rng):
    return "".join(rng.choice(ALPHABET) for _ in range(rng.randint(0, 12)))


def random_number(rng):
    kind = rng.randint(0, 4)
    if kind == 0:
        return rng.randint(-2**31, 2**31 - 1)
    if kind == 1:
        return rng.randint(-2**53, 2**53)
    if kind == 2:
        return round(rng.uniform(-1e6, 1e6), rng.randint(0, 6))
    if kind == 3:
        return rng.uniform(-1, 1) * 10.0 ** rng.randint(-30, 30)
    return rng.choice([0, -0.0, 0.5, 1.5e3, 3e9, 1e-7, 1e10, 2147483647, -2147483648])


def random_value(rng, depth):
    roll = rng.random()
    if depth > 6 or roll < 0.45:
        return rng.choice([None, True, False, random_string(rng), random_number(rng), random_number(rng)])
    if roll < 0.7:
        return [random_value(rng, depth + 1) for _ in range(rng.randint(0, 5))]
    return {random_string(rng): random_value(rng, depth + 1) for _ in range(rng.randint(0, 5))}


def same(expected, actual, where="$"):
    """None when equal; else a description. Numbers compare within what the
    printer's formats keep (six decimals, or six significant digits)."""
    if isinstance(expected, bool) or expected is None:
        return None if actual is expected else f"{where}: {actual!r} != {expected!r}"
    if isinstance(expected, (int, float)):
        if isinstance(actual, bool) or not isinstance(actual, (int, float)):
            return f"{where}: {actual!r} is not a number"
        if isinstance(expected, int) and abs(expected) < 2**53:
            return None if actual == expected else f"{where}: {actual!r} != {expected!r}"
        if math.isclose(actual, expected, rel_tol=1e-5, abs_tol=1e-6):
            return None
        return f"{where}: {actual!r} != {expected!r}"
    if isinstance(expected, str):
        return None if actual == expected else f"{where}: {actual!r} != {expected!r}"
    if isinstance(expected, list):
        if not isinstance(actual, list) or len(actual) != len(expected):
            return f"{where}: {actual!r} != {expected!r}"
        for i, (e, a) in enumerate(zip(expected, actual)):
            problem = same(e, a, f"{where}[{i}]")
            if problem:
                return problem
        return None
    if not isinstance(actual, dict) or list(actual) != list(expected):
        return f"{where}: keys {list(actual) if isinstance(actual, dict) else actual!r} != {list(expected)}"
    for key in expected:
        problem = same(expected[key], actual[key], f"{where}.{key}")
        if problem:
            return problem
    return None


def run_probe(probe, data):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as handle:
        handle.write(data)
        path = handle.name
    try:
        result = subprocess.run([probe, "json", path], capture_output=True, env=SANITIZER_ENV, timeout=60)
    finally:
        os.unlink(path)
    return result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--count", type=int, default=150)
    args = parser.parse_args()
    probe = os.path.join(args.bin, "korvo-probe")
    rng = random.Random(20240611)
    failures = []
    checks = 1

    exact = subprocess.run([probe, "json", "-"], input=b'{"a":1,"b":[1,2]}', capture_output=True)
    if exact.returncode != 0 or exact.stdout != b'{\n\t"a":\t1,\n\t"b":\t[1, 2]\n}\n':
        failures.append(f"formatted print: {exact.stdout!r}")

    styles = [dict(), dict(ensure_ascii=False), dict(indent=2), dict(indent="\t", ensure_ascii=False),
              dict(separators=(",", ":"))]
    for i in range(args.count):
        document = random_value(rng, 0)
        if not isinstance(document, (dict, list)):
            document = {"value": document}
        text = json.dumps(document, **styles[i % len(styles)]).encode("utf-8")
        checks += 1
        result = run_probe(probe, text)
        if result.returncode != 0:
            failures.append(f"document {i}: exit {result.returncode} {result.stdout[:80]!r} {result.stderr[-400:]!r}")
            continue
        problem = same(document, json.loads(result.stdout.decode("utf-8")))
        if problem:
            failures.append(f"document {i}: {problem}")
            continue
        # Every cut that loses the closing bracket is refused.
        for cut in sorted(rng.sample(range(len(text)), min(3, len(text)))):
            checks += 1
            cut_result = run_probe(probe, text[:cut])
            if cut_result.returncode != 1 or cut_result.stdout != b"invalid\n":
                failures.append(f"document {i} cut at {cut}: exit {cut_result.returncode} {cut_result.stderr[-400:]!r}")
        # Damaged bytes: either answer is fine, a crash is not.
        damaged = bytearray(text)
        for _ in range(3):
            damaged[rng.randrange(len(damaged))] = rng.choice(b'"\\{}[],:u0\x00\xff')
        checks += 1
        damaged_result = run_probe(probe, bytes(damaged))
        if damaged_result.returncode not in (0, 1) or damaged_result.stderr:
            failures.append(f"document {i} damaged: exit {damaged_result.returncode} {damaged_result.stderr[-400:]!r}")

    for failure in failures[:20]:
        print(failure)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
