#!/usr/bin/env python3
"""Documents written by Python's json module must come back from
`korvo-probe json` as the same value; cut documents must be refused and
damaged ones refused or read, never crash the reader."""
import argparse, json, math, os, random, subprocess, sys, tempfile

ENV = dict(os.environ, ASAN_OPTIONS="exitcode=86", UBSAN_OPTIONS="exitcode=87:print_stacktrace=1")
# The reader's strings are terminated texts, so U+0000 cannot survive; lone
# surrogates are not characters. Both are left out.
ALPHABET = ["a", "Z", " ", "\"", "\\", "/", "\t", "\n", "\b", "\f", "\x01", "\x1f", "\x7f",
            "é", "中", "\U0001F600", "\uffff"]


def number(rng):
    return rng.choice([rng.randint(-2**31, 2**31 - 1), rng.randint(-2**53, 2**53),
                       round(rng.uniform(-1e6, 1e6), rng.randint(0, 6)),
                       rng.uniform(-1, 1) * 10.0 ** rng.randint(-30, 30), -0.0, 1.5e3, 3e9, 1e-7])


def value(rng, depth):
    roll = rng.random()
    if depth > 6 or roll < 0.45:
        text = "".join(rng.choice(ALPHABET) for _ in range(rng.randint(0, 12)))
        return rng.choice([None, True, False, text, number(rng), number(rng)])
    if roll < 0.7:
        return [value(rng, depth + 1) for _ in range(rng.randint(0, 5))]
    return {"".join(rng.choice(ALPHABET) for _ in range(rng.randint(0, 6))): value(rng, depth + 1)
            for _ in range(rng.randint(0, 5))}


def same(a, b):
    """Numbers agree within what the printer keeps (six decimals or six digits)."""
    if isinstance(a, bool) or a is None or isinstance(b, bool) or b is None:
        return a is b
    if isinstance(a, (int, float)) and isinstance(b, (int, float)):
        return math.isclose(a, b, rel_tol=1e-5, abs_tol=1e-6) and (a == b or not isinstance(a, int))
    if isinstance(a, list) and isinstance(b, list):
        return len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, dict) and isinstance(b, dict):
        return list(a) == list(b) and all(same(a[k], b[k]) for k in a)
    return a == b


def probe_json(probe, data):
    with tempfile.NamedTemporaryFile(suffix=".json", delete=False) as handle:
        handle.write(data)
    try:
        return subprocess.run([probe, "json", handle.name], capture_output=True, env=ENV, timeout=60)
    finally:
        os.unlink(handle.name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--count", type=int, default=150)
    args = parser.parse_args()
    probe = os.path.join(args.bin, "korvo-probe")
    rng = random.Random(20240611)
    checks, failures = 1, []

    exact = subprocess.run([probe, "json", "-"], input=b'{"a":1,"b":[1,2]}', capture_output=True, env=ENV)
    if exact.returncode != 0 or exact.stdout != b'{\n\t"a":\t1,\n\t"b":\t[1, 2]\n}\n':
        failures.append(f"formatted print: {exact.stdout!r}")

    styles = [{}, {"ensure_ascii": False}, {"indent": 2}, {"indent": "\t"}, {"separators": (",", ":")}]
    for i in range(args.count):
        document = value(rng, 0)
        document = document if isinstance(document, (dict, list)) else {"value": document}
        text = json.dumps(document, **styles[i % len(styles)]).encode("utf-8")
        checks += 1
        result = probe_json(probe, text)
        if result.returncode != 0 or not same(document, json.loads(result.stdout)):
            failures.append(f"document {i}: exit {result.returncode} {result.stdout[:200]!r} {result.stderr[-400:]!r}")
            continue
        for cut in rng.sample(range(len(text)), min(3, len(text))):  # the closing bracket is lost
            checks += 1
            result = probe_json(probe, text[:cut])
            if result.returncode != 1 or result.stdout != b"invalid\n":
                failures.append(f"document {i} cut at {cut}: exit {result.returncode} {result.stderr[-400:]!r}")
        damaged = bytearray(text)
        for _ in range(3):
            damaged[rng.randrange(len(damaged))] = rng.choice(b'"\\{}[],:u0\x00\xff')
        checks += 1
        result = probe_json(probe, bytes(damaged))
        if result.returncode not in (0, 1) or result.stderr:
            failures.append(f"document {i} damaged: exit {result.returncode} {result.stderr[-400:]!r}")

    for failure in failures[:20]:
        print(failure)
    print(f"{checks - len(failures)} passed, {len(failures)} failed")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
