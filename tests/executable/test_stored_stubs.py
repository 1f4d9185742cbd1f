#!/usr/bin/env python3
"""The stubs kept inside the compiler decode, with Python's own LZMA "alone"
reader after complementing, to the stub files beside it; and the stub path
and kind chosen for each target."""
import lzma
import os
import shutil

from exe_support import Case

SLOTS = [("windows", 32, "x86", "kvsw"), ("windows", 64, "x86_64", "kvsw"), ("linux", 32, "x86", "kvsl"),
         ("linux", 64, "x86_64", "kvsl"), ("darwin", 64, "x86_64", "kvsm")]


def check_slots(case):
    status, listed = case.probe.run("stub", "list")
    lines = listed.decode().splitlines()
    case.check(status == 0 and len(lines) == 10, "stub list: %r" % lines)
    expected = []
    for os_name, bits, arch, stem in SLOTS:
        for variant in ("plain", "dbg"):
            expected.append((os_name, bits, variant, os.path.join(case.bin, os_name, arch,
                                                                  stem + ("d" if variant == "dbg" else "") + ".kes")))
    for line, (os_name, bits, variant, path) in zip(lines, expected):
        words = line.split()
        where = "%s %d %s" % (os_name, bits, variant)
        case.check(words[:3] == [os_name, str(bits), variant], "%s: listed as %r" % (where, line))
        if not os.path.exists(path):
            case.check(words[3:] == ["0", "-"], "%s: no stub file, yet listed %r" % (where, line))
            continue
        stub = open(path, "rb").read()
        status, _ = case.probe.run("stub", "raw", os_name, str(bits), variant, case.path("raw"))
        stored = open(case.path("raw"), "rb").read()
        decoded = lzma.decompress(bytes(b ^ 0xFF for b in stored), format=lzma.FORMAT_ALONE)
        case.check(status == 0 and decoded == stub, "%s: stored slot does not decode to the stub" % where)
        case.check(words[3:] == [str(len(stored)), str(len(stub))], "%s: sizes %r" % (where, line))
        status, _ = case.probe.run("stub", "restore", os_name, str(bits), variant, case.path("restored"))
        case.check(status == 0 and open(case.path("restored"), "rb").read() == stub, "%s: restore differs" % where)
    status, _ = case.probe.run("stub", "raw", "darwin", "32", "plain", case.path("none"))
    case.check(status == 1 and not os.path.exists(case.path("none")), "darwin 32 has a slot")


def check_paths(case):
    """Known targets take the kind from the table; a custom one from the
    stub's first bytes."""
    compiler = case.path("copy/korvo")
    os.makedirs(case.path("copy/custom/x86_64"))
    for options, path, kind in [
            ([], "linux/x86_64/kvsl.kes", 1),
            (["-kcross-windows_xp", "-arch:x86", "-dbg"], "windows_xp/x86/kvswd.kes", 0),
            (["-kcross-linux", "-arch:arm64"], "linux/arm64/kvsl.kes", 1),
            (["-kcross-darwin"], "darwin/x86_64/kvsm.kes", 2)]:
        status, said = case.probe.run("stub", "path", compiler, *options)
        case.check((status, said.decode()) == (0, "%s %d\n" % (case.path("copy/" + path), kind)),
                   "%s: %r" % (options, said))
    custom = case.path("copy/custom/x86_64/kcvs.kes")
    for head, kind in ((b"\x7fELF", 1), (b"\xcf\xfa\xed\xfe", 2), (b"MZ\x90\x00", 0), (b"#!/b", -1)):
        with open(custom, "wb") as f:
            f.write(head + bytes(60))
        status, said = case.probe.run("stub", "path", compiler, "-kcross-custom")
        case.check((status, said.decode()) == (0 if kind >= 0 else 1, "%s %d\n" % (custom, kind)),
                   "custom %r: %r" % (head, said))
    shutil.rmtree(case.path("copy"))


def main():
    case = Case("executable_stored_stubs")
    check_slots(case)
    check_paths(case)
    case.finish()


main()
