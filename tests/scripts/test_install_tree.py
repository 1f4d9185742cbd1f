#!/usr/bin/env python3
"""Installs the build's korvo under a scratch prefix twice (as `make install`
does), compiles through the installed link for a target whose stub is only
found beside the compiler, then uninstalls once: the prefix must be as it was
before, a file of the user's in a shared folder included. Then stages an
install below a DESTDIR for the prefix /usr/local: everything, its list too,
lands below DESTDIR, and an uninstall with the same DESTDIR empties it."""
import argparse
import os
import subprocess
import sys
import tempfile

from probe_support import report

HERE = os.path.dirname(os.path.abspath(__file__))
SCRIPT = os.path.join(HERE, "..", "..", "cmake", "install_tree.sh")


def tree(root):
    found = set()
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            found.add(os.path.relpath(os.path.join(folder, name), root))
    return found


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    build = os.path.abspath(parser.parse_args().bin)
    failures = []
    with tempfile.TemporaryDirectory(prefix="korvo-install-") as work:
        prefix = os.path.join(work, "prefix")
        os.makedirs(os.path.join(prefix, "bin"))
        with open(os.path.join(prefix, "bin", "users-own"), "w") as f:
            f.write("kept\n")
        before = tree(work)
        for _ in range(2):
            done = subprocess.run(["sh", SCRIPT, "install", build, prefix], capture_output=True, text=True)
            if done.returncode != 0:
                print(done.stdout + done.stderr)
                return 1
        if not os.path.isfile(os.path.join(prefix, "share", "doc", "korvo", "README.md")):
            failures.append("the README is not in share/doc/korvo")
        korvo = os.path.join(prefix, "bin", "korvo")
        if os.readlink(korvo) != "../lib/korvo/korvo":
            failures.append("bin/korvo is not the link to lib/korvo/korvo")
        source = os.path.join(work, "hello.k")
        with open(source, "w") as f:
            f.write("int main(String[] args) { return (int)args.length; }\n")
        # windows_xp has no stored stub: its folder beside the link's target is read.
        compiled = subprocess.run([korvo, "-ce", source, "-kcross-windows_xp", "-o", os.path.join(work, "hello.exe")],
                                  capture_output=True, text=True)
        if os.path.isdir(os.path.join(build, "windows_xp")) and compiled.returncode != 0:
            failures.append("the installed korvo did not find its windows_xp stub:\n" + compiled.stdout)
        for made in ("hello.k", "hello.exe"):
            if os.path.exists(os.path.join(work, made)):
                os.remove(os.path.join(work, made))
        done = subprocess.run(["sh", SCRIPT, "uninstall", build, prefix], capture_output=True, text=True)
        after = tree(work)
        if done.returncode != 0 or after != before:
            failures.append("uninstall left %s and removed %s" % (sorted(after - before), sorted(before - after)))
        stage = os.path.join(work, "stage")
        done = subprocess.run(["sh", SCRIPT, "install", build, "/usr/local", stage], capture_output=True, text=True)
        manifest = os.path.join(stage, "usr", "local", "lib", "korvo", "install_manifest.txt")
        if done.returncode != 0 or not os.path.isfile(manifest):
            failures.append("a staged install wrote no list below DESTDIR:\n" + done.stdout + done.stderr)
        else:
            with open(manifest) as f:
                listed = f.read().split()
            if "/usr/local/bin/korvo" not in listed or any(stage in entry for entry in listed):
                failures.append("the staged list does not name the installed paths: %s" % listed[:4])
            subprocess.run(["sh", SCRIPT, "uninstall", build, "/usr/local", stage], capture_output=True, text=True)
            if tree(stage):
                failures.append("a staged uninstall left %s" % sorted(tree(stage)))
    return report(failures, "installed, compiled through the link, uninstalled to the prefix as it was")


if __name__ == "__main__":
    sys.exit(main())
