#!/usr/bin/env python3
"""Runs one golden case and compares what it produced with what it expects.

A case is a folder holding:
  cmd              one line: the program (korvo or korvo-probe) and its arguments,
                   split like a POSIX shell would split them
  stdin            optional: fed to standard input (otherwise it is empty)
  expected.out     the whole standard output
  expected.status  optional: the exit status (0 when absent)
  expected.files/  optional: files the run must leave in its working folder,
                   compared byte for byte
The run takes place in a scratch copy of the case folder, so relative paths in
cmd name the case's own files. With --update the expectations are rewritten
from the actual run (review the diff before committing).
"""
import argparse
import difflib
import os
import shlex
import shutil
import subprocess
import sys
import tempfile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="build folder holding korvo and korvo-probe")
    parser.add_argument("--update", action="store_true")
    parser.add_argument("case")
    args = parser.parse_args()

    case = os.path.abspath(args.case)
    with open(os.path.join(case, "cmd"), encoding="utf-8") as f:
        words = shlex.split(f.read().strip())
    words[0] = os.path.join(os.path.abspath(args.bin), words[0])
    stdin_path = os.path.join(case, "stdin")
    stdin = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""

    with tempfile.TemporaryDirectory(prefix="korvo-golden-") as scratch:
        work = os.path.join(scratch, "case")
        shutil.copytree(case, work, ignore=shutil.ignore_patterns("expected.*"))
        result = subprocess.run(words, cwd=work, input=stdin, stdout=subprocess.PIPE, timeout=300)

        expected_out_path = os.path.join(case, "expected.out")
        expected_status_path = os.path.join(case, "expected.status")
        expected_files = os.path.join(case, "expected.files")
        if args.update:
            open(expected_out_path, "wb").write(result.stdout)
            if result.returncode != 0:
                open(expected_status_path, "w").write(f"{result.returncode}\n")
            elif os.path.exists(expected_status_path):
                os.remove(expected_status_path)
            if os.path.isdir(expected_files):
                for name in os.listdir(expected_files):
                    shutil.copyfile(os.path.join(work, name), os.path.join(expected_files, name))
            return 0

        failures = []
        expected_out = open(expected_out_path, "rb").read()
        if result.stdout != expected_out:
            diff = difflib.unified_diff(
                expected_out.decode("utf-8", "replace").splitlines(True),
                result.stdout.decode("utf-8", "replace").splitlines(True),
                "expected.out", "actual")
            failures.append("stdout differs:\n" + "".join(diff))
        expected_status = 0
        if os.path.exists(expected_status_path):
            expected_status = int(open(expected_status_path).read().strip())
        if result.returncode != expected_status:
            failures.append(f"exit status {result.returncode}, expected {expected_status}")
        if os.path.isdir(expected_files):
            for name in sorted(os.listdir(expected_files)):
                produced = os.path.join(work, name)
                if not os.path.exists(produced):
                    failures.append(f"{name}: not produced")
                elif open(produced, "rb").read() != open(os.path.join(expected_files, name), "rb").read():
                    failures.append(f"{name}: bytes differ")
        for failure in failures:
            print(failure)
        return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
