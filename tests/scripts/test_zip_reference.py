"""The ZIP reader against archives made by Python's zipfile and Info-ZIP."""
import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from probe_support import Probe  # noqa: E402


def listing(archive):
    """What `zip ls` must print, from zipfile's own reading of the archive."""
    with zipfile.ZipFile(archive) as z:
        return "".join("%d %d %d %s\n" % (i.compress_type, i.compress_size, i.file_size, i.filename)
                       for i in z.infolist())


def check_archive(probe, archive, label):
    code, out = probe.run("zip", "ls", archive)
    probe.check(code == 0, "%s: ls failed" % label)
    probe.check(out.decode("utf-8", "surrogateescape") == listing(archive), "%s: listing differs:\n%s" % (label, out))
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            code, out = probe.run("zip", "cat", archive, info.filename)
            if info.compress_type in (zipfile.ZIP_STORED, zipfile.ZIP_DEFLATED):
                probe.check(code == 0 and out == z.read(info), "%s: member %s differs" % (label, info.filename))
            else:
                probe.check(code == 1 and out == b"", "%s: method %d was read" % (label, info.compress_type))


def python_archives(folder):
    made = {}
    payload = bytes(range(256)) * 40 + b"korvo " * 3000

    def make(name, compression, members, comment=b""):
        path = os.path.join(folder, name)
        with zipfile.ZipFile(path, "w", compression) as z:
            for member, data in members:
                z.writestr(member, data)
            z.comment = comment
        made[name] = path

    make("p.kp", zipfile.ZIP_DEFLATED, [("major.lik", b"x" * 1000)])
    make("stored.zip", zipfile.ZIP_STORED, [("a.txt", b"alpha\n"), ("dir/b.bin", payload)])
    make("deflated.zip", zipfile.ZIP_DEFLATED, [("a.txt", b"alpha\n"), ("big.bin", payload * 8), ("zero", b"")])
    make("comment.zip", zipfile.ZIP_DEFLATED, [("m", b"member")], comment=b"archive comment " * 100)
    make("lookalike.zip", zipfile.ZIP_STORED,
         [("trap", b"PK\x05\x06" + b"\xff" * 18), ("real", b"yes")])
    make("empty.zip", zipfile.ZIP_STORED, [])
    make("bzip2.zip", zipfile.ZIP_BZIP2, [("packed", b"data " * 100)])
    return made


def infozip_archives(folder):
    if shutil.which("zip") is None:
        print("Info-ZIP zip is missing: skipping its archives (the Makefile installs it)")
        return {}
    tree = os.path.join(folder, "tree")
    os.makedirs(os.path.join(tree, "sub"))
    with open(os.path.join(tree, "a.k"), "wb") as f:
        f.write(b"class A {}\n" * 500)
    with open(os.path.join(tree, "sub", "b.bin"), "wb") as f:
        f.write(os.urandom(5000))
    made = {}
    for name, flags in (("infozip.zip", ["-r"]), ("infozip-stored.zip", ["-r", "-0"])):
        path = os.path.join(folder, name)
        subprocess.run(["zip", "-q", *flags, path, "a.k", "sub"], cwd=tree, check=True)
        made[name] = path
    path = os.path.join(folder, "infozip-comment.zip")
    subprocess.run(["zip", "-q", "-z", path, "a.k"], cwd=tree, input=b"a comment from zip\n", check=True)
    made["infozip-comment.zip"] = path
    return made


def check_damage(probe, archive, folder):
    """Every cut and a flipped byte at every offset: a result, never a crash."""
    data = open(archive, "rb").read()
    damaged = os.path.join(folder, "damaged.zip")
    variants = [data[:cut] for cut in range(len(data))]
    variants += [data[:at] + bytes([data[at] ^ 0xA5]) + data[at + 1:] for at in range(len(data))]
    for index, variant in enumerate(variants):
        with open(damaged, "wb") as f:
            f.write(variant)
        if index < len(data):
            code, _ = probe.run("zip", "ls", damaged)
            probe.check(code == 1, "archive cut at %d opened" % index)
        else:
            code, _ = probe.run("zip", "cat", damaged, "major.lik")
            probe.check(code in (0, 1), "damaged archive %d: cat status %d" % (index, code))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    args = parser.parse_args()
    probe = Probe(args.bin)
    with tempfile.TemporaryDirectory() as folder:
        archives = python_archives(folder)
        archives.update(infozip_archives(folder))
        for name, path in sorted(archives.items()):
            check_archive(probe, path, name)
        code, out = probe.run("zip", "cat", archives["p.kp"], "MAJOR.LIK")
        probe.check(code == 1, "lookup ignored letter case")
        code, out = probe.run("zip", "ls", os.path.join(folder, "missing.zip"))
        probe.check(code == 1, "a missing archive was listed")
        small = os.path.join(folder, "small.zip")
        with zipfile.ZipFile(small, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("major.lik", b"static library " * 4)
            z.writestr("a.txt", b"alpha")
        check_damage(probe, small, folder)
    probe.finish("test_zip_reference")


if __name__ == "__main__":
    main()
