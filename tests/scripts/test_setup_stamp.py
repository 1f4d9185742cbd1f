#!/usr/bin/env python3
"""Runs the Makefile's `setup` in a scratch copy with package lists of its
own: the package checks run on a fresh tree, are skipped once the stamp holds
every listed package (also after a run with longer lists), run again when a
list gains one; a required package that cannot be installed stops make and
leaves the stamp as it was, an optional one is recorded and not tried again.
SUDO=false stands in for apt-get, so nothing is ever installed; `make clean`
removes the stamp and the build/ it alone was in."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from probe_support import report

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
INSTALLED = "python3"  # in the Makefile's own list, so on every machine that runs this
MISSING = "korvo-no-such-package"


def make(work, *args, dry=False):
    command = ["make", "--no-print-directory", "SUDO=false", "STUB_PACKAGES=", "EXTRA_PACKAGES=", "REQUIRED_EXTRA="]
    command += ["-n"] if dry else []
    return subprocess.run(command + list(args), cwd=work, capture_output=True, text=True)


def stamp(work):
    try:
        with open(os.path.join(work, "build", "packages.stamp")) as f:
            return f.read().split()
    except FileNotFoundError:
        return None


def checks_run(work, *args):
    """Whether `make setup` would run the package checks."""
    return "dpkg-query" in make(work, "setup", *args, dry=True).stdout


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin")
    parser.parse_args()
    failures = []

    with tempfile.TemporaryDirectory(prefix="korvo-setup-") as work:
        shutil.copy(os.path.join(ROOT, "Makefile"), work)
        os.makedirs(os.path.join(work, "cmake"))
        shutil.copy(os.path.join(ROOT, "cmake", "clean_trees.sh"), os.path.join(work, "cmake"))
        if not checks_run(work, "PACKAGES=" + INSTALLED):
            failures.append("a fresh tree skips the package checks")
        done = make(work, "setup", "PACKAGES=" + INSTALLED, "REQUIRED_EXTRA=coreutils")
        if done.returncode != 0 or stamp(work) != ["required:coreutils", "required:" + INSTALLED]:
            failures.append("checks of installed packages: exit %d, stamp %s\n%s" %
                            (done.returncode, stamp(work), done.stdout + done.stderr))
        if checks_run(work, "PACKAGES=" + INSTALLED):
            failures.append("a list the stamp holds is checked again")
        if not checks_run(work, "PACKAGES=%s dpkg" % INSTALLED):
            failures.append("a package added to a list is not checked")

        before = stamp(work)
        done = make(work, "setup", "PACKAGES=%s %s" % (INSTALLED, MISSING))
        if done.returncode == 0 or stamp(work) != before:
            failures.append("a required package that cannot be installed: exit %d, stamp %s" %
                            (done.returncode, stamp(work)))
        done = make(work, "setup", "PACKAGES=" + INSTALLED, "STUB_PACKAGES=" + MISSING)
        if done.returncode != 0 or "could not install: " + MISSING not in done.stdout or \
                "optional:" + MISSING not in (stamp(work) or []):
            failures.append("an optional package that cannot be installed: exit %d, stamp %s\n%s" %
                            (done.returncode, stamp(work), done.stdout + done.stderr))
        if checks_run(work, "PACKAGES=" + INSTALLED, "STUB_PACKAGES=" + MISSING):
            failures.append("an optional package that could not be installed is tried on every run")

        make(work, "clean")
        if os.path.exists(os.path.join(work, "build")):
            failures.append("make clean leaves build/ with the stamp")
    return report(failures, "setup: the stamp skips and repeats the package checks as it should")


if __name__ == "__main__":
    sys.exit(main())
