#!/usr/bin/env python3
"""The hostile-shapes bench (bench/hostile_shapes.py) reads its counts and
gives its verdict right, without timing anything: the instruction count is
read from valgrind's summary however its digits are grouped, a run that
gives none is no count, and a pair of sizes passes exactly while its growth
stays within the bound (a count missing fails too). A bench that misread its
counts would pass a quadratic compiler or fail a linear one every run."""
import argparse
import concurrent.futures
import contextlib
import io
import os
import stat
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import hostile_shapes  # noqa: E402


def fake_valgrind(folder, summary):
    """A stand-in for valgrind that prints `summary` on standard error."""
    path = os.path.join(folder, "valgrind")
    with open(path, "w") as f:
        f.write("#!/bin/sh\necho '==1== Command: korvo' >&2\n%secho '==1== ' >&2\n"
                % ("echo '%s' >&2\n" % summary if summary else ""))
    os.chmod(path, os.stat(path).st_mode | stat.S_IXUSR)
    return path


def verdict(small, large):
    """(passed, printed) of one shape whose counts at 10k and 100k are
    `small` and `large` (None: not counted; a future: counted beside)."""
    args = argparse.Namespace(max_growth=11.0)
    row = (0, 0.1, 0.0, 10240, "", "x.k")
    measured = {10000: row, 100000: (0, 1.0, 0.0, 102400, "", "x.k")}
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        passed = hostile_shapes.run_shape("string_fold", [10000, 100000], measured, {10000: small, 100000: large},
                                          hostile_shapes.TimeJudge(argparse.Namespace()), args)
    return passed, printed.getvalue()


def counted(value):
    future = concurrent.futures.Future()
    future.set_result(value)
    return future


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", help="unused: nothing here runs the compiler")
    parser.parse_args()
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvo-hostile-verdict-") as work:
        for summary, wanted in (("==1== I   refs:      1,234,567,890", 1234567890),
                                ("==1== I   refs:      987", 987), (None, None)):
            got = hostile_shapes.count_instructions(fake_valgrind(work, summary), "korvo", "x.k", "x.kb", False)
            if got != wanted:
                failures.append("summary %r read as %r, not %r" % (summary, got, wanted))

    for small, large, passes, mark in ((100e6, 1000e6, True, "10.0x"), (100e6, 1100e6, True, "11.0x"),
                                       (100e6, 1101e6, False, "TOO FAST A GROWTH"),
                                       (counted(100e6), counted(1500e6), False, "TOO FAST A GROWTH"),
                                       (100e6, None, False, "NOT COUNTED"), (None, 1000e6, False, "NOT COUNTED")):
        passed, printed = verdict(small, large)
        if passed != passes or mark not in printed:
            failures.append("growth %r -> %r: passed %s, printed %r" % (small, large, passed, printed))
    for failure in failures:
        print("FAIL:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
