#!/usr/bin/env python3
"""Runs one golden case and compares what it produced with what it expects.

A case is a folder holding:
  cmd              one line: the program (korvo or korvo-probe) and its arguments,
                   split like a POSIX shell would split them; several lines
                   run one after the other (compile, then list), their
                   outputs joined, each status ending "exit N" but the last
  stdin            optional: fed to standard input (otherwise it is empty)
  expected.out     the whole standard output
  expected.status  optional: the exit status (0 when absent)
  expected.files/  optional: files the run must leave in its working folder
                   (or in folders below it), compared byte for byte
The run takes place in a scratch copy of the case folder, so relative paths in
cmd name the case's own files. With --update the expectations are rewritten
from the actual run (review the diff before committing).

Inline mode (--inline, a case that is one .k file): the source carries its
expectations on the lines that should be reported,
  // expect error: <text>
  // expect warning <number>: <text>
(several on one line when one line is reported more than once). The runner
compiles the file in a scratch copy of its folder and matches every reported
(file, line, text) against the annotations; a missing or an unexpected one
fails the case. A case named fail_* must exit 1, any other must exit 0. With
--update the annotations are rewritten from the actual run.
"""
import argparse
import difflib
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="build folder holding korvo and korvo-probe")
    parser.add_argument("--update", action="store_true")
    parser.add_argument("--inline", action="store_true", help="the case is one .k file with // expect lines")
    parser.add_argument("case", nargs="+")
    args = parser.parse_args()
    if args.inline:
        return max(run_inline(args.bin, case, args.update) for case in args.case)
    if len(args.case) != 1:
        parser.error("one case folder at a time")
    args.case = args.case[0]

    case = os.path.abspath(args.case)
    with open(os.path.join(case, "cmd"), encoding="utf-8") as f:
        commands = [shlex.split(line) for line in f.read().splitlines() if line.strip()]
    for words in commands:
        words[0] = os.path.join(os.path.abspath(args.bin), words[0])
    stdin_path = os.path.join(case, "stdin")
    stdin = open(stdin_path, "rb").read() if os.path.exists(stdin_path) else b""

    with tempfile.TemporaryDirectory(prefix="korvo-golden-") as scratch:
        work = os.path.join(scratch, "case")
        shutil.copytree(case, work, ignore=shutil.ignore_patterns("expected.*"))
        outputs = []
        for i, words in enumerate(commands):
            result = subprocess.run(words, cwd=work, input=stdin, stdout=subprocess.PIPE, timeout=300)
            outputs.append(result.stdout)
            if i + 1 < len(commands):
                outputs.append(f"exit {result.returncode}\n".encode())
        result.stdout = b"".join(outputs)

        expected_out_path = os.path.join(case, "expected.out")
        expected_status_path = os.path.join(case, "expected.status")
        expected_files = os.path.join(case, "expected.files")
        if args.update:
            open(expected_out_path, "wb").write(result.stdout)
            if result.returncode != 0:
                open(expected_status_path, "w").write(f"{result.returncode}\n")
            elif os.path.exists(expected_status_path):
                os.remove(expected_status_path)
            for name in expected_names(expected_files):
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
            for name in expected_names(expected_files):
                produced = os.path.join(work, name)
                if not os.path.exists(produced):
                    failures.append(f"{name}: not produced")
                elif open(produced, "rb").read() != open(os.path.join(expected_files, name), "rb").read():
                    failures.append(f"{name}: bytes differ")
        for failure in failures:
            print(failure)
        return 1 if failures else 0


def expected_names(folder):
    """The files below expected.files, as paths relative to it."""
    names = []
    for root, _, files in os.walk(folder):
        names += [os.path.relpath(os.path.join(root, name), folder) for name in files]
    return sorted(names)


EXPECT = re.compile(r"//\s*expect (error|warning (\d+)):\s*(.*?)\s*(?=//\s*expect |$)")
# The error and warning lines the compiler prints: the file, the position
# prefix, an empty line and the message.
REPORTED = re.compile(r"^(.*?)\(行:(\d+), 字:\d+(?:, :\d+)?\) \[(?:Error\]错误|Warning:(\d+)\]警告):\n \n (.*)$", re.M)


def annotations(source_lines):
    """The expected (line, kind, number, text) of a case, 1-based lines."""
    expected = []
    for number, line in enumerate(source_lines, 1):
        for match in EXPECT.finditer(line):
            warning = match.group(2)
            expected.append((number, "warning" if warning else "error", int(warning) if warning else 0,
                             match.group(3)))
    return expected


def reported_diagnostics(stdout, file_name):
    """What the run reported, as (file, line, kind, number, text)."""
    found = []
    for match in REPORTED.finditer(stdout):
        warning = match.group(3)
        found.append((match.group(1), int(match.group(2)), "warning" if warning else "error",
                      int(warning) if warning else 0, match.group(4).rstrip()))
    return found


def annotation_text(kind, number, text):
    return f"// expect {kind}: {text}" if kind == "error" else f"// expect warning {number}: {text}"


def rewrite_annotations(path, source_lines, reported):
    """Drops the old annotations and puts one per reported diagnostic on its line."""
    lines = [EXPECT.sub("", line).rstrip() if EXPECT.search(line) else line for line in source_lines]
    for line, kind, number, text in sorted(reported, key=lambda r: r[0]):
        while len(lines) < line:
            lines.append("")
        lines[line - 1] = (lines[line - 1] + " " if lines[line - 1] else "") + annotation_text(kind, number, text)
    with open(path, "w", encoding="utf-8") as f:
        f.write("\n".join(lines) + "\n")


def run_inline(bin_dir, case, update):
    case = os.path.abspath(case)
    name = os.path.basename(case)
    with open(case, encoding="utf-8") as f:
        source_lines = f.read().split("\n")
    if source_lines and source_lines[-1] == "":
        source_lines.pop()
    with tempfile.TemporaryDirectory(prefix="korvo-inline-") as scratch:
        work = os.path.join(scratch, "case")
        shutil.copytree(os.path.dirname(case), work)
        words = [os.path.join(os.path.abspath(bin_dir), "korvo"), "-c", name, "-o", os.path.join(scratch, "out")]
        result = subprocess.run(words, cwd=work, stdout=subprocess.PIPE, timeout=300)
    stdout = result.stdout.decode("utf-8", "replace")
    reported = reported_diagnostics(stdout, name)
    if update:
        rewrite_annotations(case, source_lines, [r[1:] for r in reported if r[0] == name])
        return 0

    failures = []
    missing = list(annotations(source_lines))
    for file_name, line, kind, number, text in reported:
        key = (line, kind, number, text)
        if file_name == name and key in missing:
            missing.remove(key)
        else:
            failures.append(f"unexpected: {file_name}:{line}: {annotation_text(kind, number, text)}")
    for line, kind, number, text in missing:
        failures.append(f"missing: {name}:{line}: {annotation_text(kind, number, text)}")
    expected_status = 1 if name.startswith("fail_") else 0
    if result.returncode != expected_status:
        failures.append(f"exit status {result.returncode}, expected {expected_status}")
    for failure in failures:
        print(failure)
    if failures:
        print("output was:\n" + stdout)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
