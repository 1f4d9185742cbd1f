#!/usr/bin/env python3
"""Tries the README as a newcomer would: every file it shows under a
"`PATH`:" line must be that file of the checkout, and every command it shows
that runs korvo (an indented line beginning "build/", "mkdir -p build/",
"(cd examples/" or "python3 tests/run/") is run, in order, in a scratch copy
of examples/ beside the checkout's tests/, with build/korvo the compiler
under test. A command's comment says what it must print: "exit N:"
first sets the status it must end with (0 otherwise), and a comment with
"..." in it is an excerpt, its pieces around each "..." found in the output
in that order."""
import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile

from probe_support import report

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
COMMAND = re.compile(r"^ {4,}((?:build/|mkdir -p build/|\(cd examples/|python3 tests/run/).*?)(?:\s+#\s*(.*))?$")
SHOWN_FILE = re.compile(r"^`([\w./-]+)`:$")


def shown_files(lines):
    """(path, text) of each fenced block that follows a "`PATH`:" line."""
    for at, line in enumerate(lines):
        found = SHOWN_FILE.match(line)
        if not found or at + 2 >= len(lines) or lines[at + 2] != "```":
            continue
        end = lines.index("```", at + 3)
        yield found.group(1), "".join(l + "\n" for l in lines[at + 3:end])


def expectation(comment):
    status, excerpt = 0, comment or ""
    found = re.match(r"exit (\d+):?\s*(.*)", excerpt)
    if found:
        status, excerpt = int(found.group(1)), found.group(2)
    pieces = [p.strip() for p in excerpt.split("...")] if "..." in excerpt else []
    return status, [p for p in pieces if p]


def in_order(output, pieces):
    at = 0
    for piece in pieces:
        at = output.find(piece, at)
        if at < 0:
            return piece
        at += len(piece)
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    korvo = os.path.join(os.path.abspath(parser.parse_args().bin), "korvo")
    with open(os.path.join(ROOT, "README.md"), encoding="utf-8") as f:
        lines = f.read().split("\n")
    failures = []
    for path, text in shown_files(lines):
        try:
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                if f.read() != text:
                    failures.append("the README shows %s otherwise than the file" % path)
        except OSError:
            failures.append("the README shows %s, which is not in the checkout" % path)
    commands = [m.groups() for m in map(COMMAND.match, lines) if m]
    with tempfile.TemporaryDirectory(prefix="korvo-readme-") as work:
        shutil.copytree(os.path.join(ROOT, "examples"), os.path.join(work, "examples"))
        os.symlink(os.path.join(ROOT, "tests"), os.path.join(work, "tests"))
        os.makedirs(os.path.join(work, "build"))
        os.symlink(korvo, os.path.join(work, "build", "korvo"))
        for command, comment in commands:
            status, pieces = expectation(comment)
            done = subprocess.run(["sh", "-c", command], cwd=work, capture_output=True, stdin=subprocess.DEVNULL)
            output = done.stdout.decode("utf-8", "replace")
            missing = in_order(output, pieces)
            if done.returncode != status or missing is not None:
                failures.append("%s\n  exit %d (README: %d), %s\n%s" %
                                (command, done.returncode, status,
                                 "missing %r" % missing if missing else "output as shown", output[-2000:]))
    return report(failures, "README: %d commands ran as shown" % len(commands))


if __name__ == "__main__":
    sys.exit(main())
