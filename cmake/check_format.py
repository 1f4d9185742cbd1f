#!/usr/bin/env python3
"""Checks the C and C++ lines written since .clang-format came into the tree.

The code before it was laid out by hand (aligned tables, chosen line breaks)
in ways no clang-format setting reproduces, and it is not reformatted: only
the lines added or changed after the commit that added .clang-format must be
as clang-format lays them out, so new code keeps one style without a
whole-tree reformat. Files git does not know yet are checked whole.

Prints "SKIP: ..." and succeeds when the pinned clang-format or git is
missing, or the source folder is not a git checkout.
"""
import argparse
import concurrent.futures
import difflib
import os
import re
import shlex
import shutil
import subprocess
import sys

PINNED_MAJOR = 14
PATTERNS = ["*.cpp", "*.h", "*.c"]


def skip(reason):
    print(f"SKIP: {reason}; the format check did not run")
    sys.exit(0)


def git(source, *args):
    return subprocess.run(["git", "-C", source, *args], capture_output=True, text=True, check=True).stdout


def changed_ranges(source, base):
    """{path: [(first, last), ...]} of the lines added or changed since base."""
    ranges = {}
    diff = git(source, "diff", "-U0", "--no-color", "--no-ext-diff", "-M", "--diff-filter=AMR", base, "--", *PATTERNS)
    path = None
    for line in diff.splitlines():
        if line.startswith("+++ "):
            path = line[6:] if line.startswith("+++ b/") else None
        elif line.startswith("@@") and path is not None:
            match = re.match(r"@@ -\S+ \+(\d+)(?:,(\d+))? @@", line)
            first, count = int(match.group(1)), int(match.group(2) or 1)
            if count > 0:
                ranges.setdefault(path, []).append((first, first + count - 1))
    for path in git(source, "ls-files", "--others", "--exclude-standard", "--", *PATTERNS).splitlines():
        ranges[path] = None
    return ranges


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--clang-format", default="clang-format-14", help="the clang-format binary")
    parser.add_argument("--source", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--fix", action="store_true", help="reformat the checked lines in place")
    args = parser.parse_args()

    binary = shutil.which(args.clang_format) if args.clang_format else None
    if not binary:
        skip(f"clang-format-{PINNED_MAJOR} not found (apt-get install clang-format-{PINNED_MAJOR})")
    version = subprocess.run([binary, "--version"], capture_output=True, text=True).stdout
    found = re.search(r"version (\d+)\.", version)
    if not found or int(found.group(1)) != PINNED_MAJOR:
        skip(f"{binary} is not clang-format {PINNED_MAJOR} ({version.strip()}); other versions lay code out otherwise")
    if not shutil.which("git"):
        skip("git not found")
    source = os.path.abspath(args.source)
    try:
        git(source, "rev-parse", "--is-inside-work-tree")
    except subprocess.CalledProcessError:
        skip(f"{source} is not a git checkout")

    # The commit that added .clang-format; before it is committed, HEAD.
    base = git(source, "log", "--diff-filter=A", "--format=%H", "-1", "--", ".clang-format").strip() or "HEAD"
    def layout(item):
        path, ranges = item
        full = os.path.join(source, path)
        if not os.path.isfile(full):
            return None
        lines = [] if ranges is None else [f"--lines={first}:{last}" for first, last in ranges]
        with open(full, encoding="utf-8", errors="surrogateescape") as f:
            before = f.read()
        after = subprocess.run([binary, "--style=file", *lines, path], cwd=source, capture_output=True, text=True,
                               check=True, errors="surrogateescape").stdout
        return (path, lines, before, after) if after != before else None

    # One clang-format process per file, a few at a time.
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        laid_out = [found for found in pool.map(layout, sorted(changed_ranges(source, base).items())) if found]
    failures = []
    for path, lines, before, after in laid_out:
        if args.fix:
            subprocess.run([binary, "-i", "--style=file", *lines, path], cwd=source, check=True)
            print(f"reformatted {path}")
            continue
        failures.append(shlex.join(["clang-format-14", "-i", *lines, path]))
        sys.stdout.writelines(difflib.unified_diff(before.splitlines(True), after.splitlines(True),
                                                   f"{path} (as written)", f"{path} (as clang-format lays it out)"))
    if failures:
        print(f"\nThe lines above, written since {base[:12]}, are not laid out as .clang-format says.")
        print(f"Fix them, in {source}, with:")
        for command in failures:
            print("    " + command)
        print("or all at once: make format-fix (python3 cmake/check_format.py --fix)")
        return 1
    print(f"format: the lines written since {base[:12]} are laid out as .clang-format says")
    return 0


if __name__ == "__main__":
    sys.exit(main())
