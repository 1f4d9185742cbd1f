"""Shared pieces of the executable tests: a small valid program image, the
probe, the stubs beside it, and external tools that may be missing."""
import argparse
import errno
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
from probe_support import Probe  # noqa: E402

HELLO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "examples", "hello.k")
STUB_FOLDERS = {"elf": "linux", "pe": "windows", "macho": "darwin"}
STUB_STEMS = {"elf": "kvsl", "pe": "kvsw", "macho": "kvsm"}


def program_image(body_length, options=0, crc_ok=True):
    """Magic "KB! ", version 1049, end address at 44, CRC-32 at 56 over
    [136, end): what the stubs check."""
    end = 192 + body_length
    image = bytearray(end)
    image[0:4] = b"KB! "
    struct.pack_into("<I", image, 4, 1049)
    struct.pack_into("<IIIQ", image, 16, 0x1000, 9, 4, options)
    struct.pack_into("<Q", image, 44, end)
    for i in range(192, end):
        image[i] = (i * 37 + 11) & 0xFF
    crc = zlib.crc32(bytes(image[136:end]))
    struct.pack_into("<I", image, 56, crc if crc_ok else crc ^ 1)
    return bytes(image)


class Case:
    """One test script: the probe, a scratch folder, and the checks."""

    def __init__(self, name):
        parser = argparse.ArgumentParser()
        parser.add_argument("--bin", required=True)
        self.args = parser.parse_args()
        self.name = name
        self.bin = os.path.abspath(self.args.bin)
        self.probe = Probe(self.bin)
        self.scratch = tempfile.mkdtemp(prefix="korvo-%s-" % name)

    def path(self, name):
        return os.path.join(self.scratch, name)

    def stub(self, kind, arch, debug=False):
        return os.path.join(self.bin, STUB_FOLDERS[kind], arch, STUB_STEMS[kind] + ("d" if debug else "") + ".kes")

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def place(self, kind, stub, image, out, *options):
        """Runs `korvo-probe place`; returns (status, stdout text)."""
        status, out_bytes = self.probe.run("place", kind, stub, image, self.path(out), *options)
        return status, out_bytes.decode("utf-8", "replace")

    def compile(self, out, *options, stub=None):
        """Runs the compiler on hello.k (with -slk: the compile pass does not
        register entries yet) and returns (status, stdout text). With a stub,
        a copy of the compiler takes it as the stub of the custom target
        "fixture" (-kcross-fixture is added)."""
        compiler = os.path.join(self.bin, "korvo")
        if stub is not None:
            compiler = self.path("cc/korvo")
            if not os.path.exists(compiler):
                os.makedirs(self.path("cc"))
                shutil.copy2(os.path.join(self.bin, "korvo"), compiler)
            name = "kcvsd.kes" if "-dbg" in options else "kcvs.kes"
            os.makedirs(self.path("cc/fixture/x86_64"), exist_ok=True)
            shutil.copyfile(stub, self.path("cc/fixture/x86_64/" + name))
            options = ("-kcross-fixture",) + options
        done = run([compiler, "-slk", "-ce", HELLO, *options, "-o", self.path(out)])
        return done.returncode, done.stdout.decode("utf-8", "replace")

    def program(self, *options):
        """The image `-c` writes for hello.k with these options."""
        if not hasattr(self, "_programs"):
            self._programs = {}
        if options not in self._programs:
            out = self.path("hello.kb")
            done = run([os.path.join(self.bin, "korvo"), "-slk", "-c", HELLO, *options, "-o", out])
            self.check(done.returncode == 0, "-c hello.k: %r" % done.stdout)
            self._programs[options] = open(out, "rb").read() if done.returncode == 0 else b""
        return self._programs[options]

    def same_program(self, image, where, *options):
        """The image an executable holds equals the -c image but for the
        time stamp at 36..43."""
        program = self.program(*options)
        self.check(len(image) == len(program) and image[:36] + image[44:] == program[:36] + program[44:],
                   "%s: the image differs from the -c image" % where)

    def check(self, condition, message):
        self.probe.check(condition, message)

    def skip(self, message):
        print("SKIP: %s: %s" % (self.name, message))

    def run_native(self, path):
        """Runs an executable made for this machine; None, with a note, when
        the kernel refuses its kind (a 64-bit kernel built without 32-bit
        support runs no x86 program, however sound the file)."""
        try:
            return run([path], text=True)
        except OSError as error:
            if error.errno != errno.ENOEXEC:
                raise
            self.skip("%s: not run, the kernel refuses it (%s)" % (os.path.basename(path), error.strerror))
            return None

    def finish(self):
        shutil.rmtree(self.scratch, ignore_errors=True)
        self.probe.finish(self.name)


def tool(name):
    return shutil.which(name)


def run(args, **kwargs):
    return subprocess.run(args, stdin=subprocess.DEVNULL, capture_output=True, **kwargs)


def wine_prefix(bin_dir):
    return os.path.join(bin_dir, "wineprefix")


def run_wine(bin_dir, exe):
    """Runs a PE file under wine; None when wine cannot run it here."""
    # No Mono or Gecko installers: the stubs need neither.
    env = dict(os.environ, WINEPREFIX=wine_prefix(bin_dir), WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    done = subprocess.run(["wine", exe], stdin=subprocess.DEVNULL, capture_output=True, env=env, timeout=240)
    return done
