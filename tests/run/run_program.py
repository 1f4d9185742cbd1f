#!/usr/bin/env python3
"""Compiles whole programs with korvo and runs their images: a case is one
.k file with `int main(String[] args)` whose first line names the outcome,

    // expect-result: <integer>      the value main returns
    // expect-throw: <ClassName>     an exception main lets escape

    run_program.py --bin BUILD CASE.k...
prints "ok NAME: result N" per case, or what differs, and exits 1 when any
case failed."""
import argparse
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import image_eval  # noqa: E402

SANITIZER_EXIT = 86
ENV = dict(os.environ, ASAN_OPTIONS="exitcode=%d:detect_leaks=1" % SANITIZER_EXIT,
           UBSAN_OPTIONS="exitcode=%d:halt_on_error=1" % SANITIZER_EXIT)


def compile_and_run(korvo, source_path):
    """("result", n) / ("throw", name) / ("error", text)."""
    with tempfile.TemporaryDirectory(prefix="korvo-run-") as work:
        image = os.path.join(work, "a.kb")
        try:
            done = subprocess.run([korvo, "-c", source_path, "-o", image], capture_output=True, env=ENV, timeout=300)
        except subprocess.TimeoutExpired:
            return ("error", "korvo did not finish in 300 s")
        if done.returncode != 0 or not os.path.exists(image):
            text = done.stdout.decode("utf-8", "replace") + done.stderr.decode("utf-8", "replace")
            return ("error", "korvo exited %d:\n%s" % (done.returncode, text))
        try:
            return image_eval.evaluate(image)
        except image_eval.EvalError as error:
            return ("error", "eval error: %s" % error)


def expectation(source):
    first = source.split("\n", 1)[0]
    found = re.fullmatch(r"// expect-(result|throw): (\S+)\s*", first)
    if not found:
        return None
    how, value = found.groups()
    return (how, int(value) if how == "result" else value)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("cases", nargs="+")
    args = parser.parse_args()
    korvo = os.path.join(os.path.abspath(args.bin), "korvo")
    failed = 0
    for case in args.cases:
        name = os.path.basename(case)
        want = expectation(open(case, encoding="utf-8").read())
        if want is None:
            print("FAIL %s: the first line is neither // expect-result: N nor // expect-throw: NAME" % name)
            failed += 1
            continue
        got = compile_and_run(korvo, os.path.abspath(case))
        if got == want:
            print("ok %s: %s %s" % (name, *got))
        else:
            print("FAIL %s: expected %s %s, got %s %s" % (name, *want, *got))
            failed += 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
