#!/usr/bin/env python3
"""Mach-O executables: the image and its length follow the stub inside
__LINKEDIT; llvm-objdump, llvm-nm and macholib read the result."""
import os
import struct

from exe_support import Case, program_image, run, tool

# A new executable gets 0777 less the umask, as a linker creates it.
UMASK = os.umask(0)
os.umask(UMASK)

try:
    from macholib.MachO import MachO
    from macholib.mach_o import LC_SEGMENT_64, LC_SYMTAB
except ImportError:
    MachO = None


def load_commands(path):
    """(__LINKEDIT segment, symtab command) as macholib reads them."""
    header = MachO(path).headers[0]
    linkedit = symtab = None
    for command, body, _ in header.commands:
        if command.cmd == LC_SEGMENT_64 and body.segname.rstrip(b"\0") == b"__LINKEDIT":
            linkedit = body
        elif command.cmd == LC_SYMTAB:
            symtab = body
    return linkedit, symtab


def check_arch(case, arch, debug, length):
    stub = case.stub("macho", arch, debug)
    where = "%s%s, %d bytes" % (arch, " -dbg" if debug else "", length)
    if not os.path.exists(stub):
        case.skip("no %s stub" % arch)
        return
    image_bytes = program_image(length - 192) if length >= 192 else bytes(range(length))
    image = case.write("image.bin", image_bytes)
    out = "macho-%s-%d-%d" % (arch, debug, length)
    status, said = case.place("macho", stub, image, out, *(["-dbg"] if debug else []))
    case.check(status == 0 and said == "已生成:%s\n" % case.path(out), "%s: place said %r" % (where, said))
    path = case.path(out)
    data = open(path, "rb").read()
    stub_bytes = open(stub, "rb").read()
    padding = (32 - (length + 4) % 32) % 32
    body = data[:-4] if debug else data
    case.check(data.endswith(b"kdbg") == debug, "%s: kdbg trailer" % where)
    case.check(len(body) == len(stub_bytes) + padding + length + 8, "%s: size %d" % (where, len(data)))
    case.check(body[len(stub_bytes):len(stub_bytes) + padding] == bytes(padding), "%s: padding" % where)
    case.check(body[-8 - length:-8] == image_bytes, "%s: image bytes" % where)
    case.check(struct.unpack("<Q", body[-8:])[0] == length, "%s: trailing length" % where)
    case.check(os.stat(path).st_mode & 0o777 == 0o777 & ~UMASK, "%s: mode" % where)
    if tool("llvm-objdump-14"):
        dumped = run(["llvm-objdump-14", "--macho", "--private-headers", path], text=True)
        case.check(dumped.returncode == 0 and "warning" not in dumped.stderr.lower(),
                   "%s: llvm-objdump: %s" % (where, dumped.stderr))
    if tool("llvm-nm-14"):
        new = run(["llvm-nm-14", path], text=True)
        old = run(["llvm-nm-14", stub], text=True)
        case.check(new.returncode == 0 and new.stdout == old.stdout and new.stderr == "",
                   "%s: llvm-nm differs: %s" % (where, new.stderr))
    if MachO is None:
        case.skip("macholib missing (it is Debian's python3-macholib, run under /usr/bin/python3)")
        return
    linkedit, symtab = load_commands(path)
    old_linkedit, _ = load_commands(stub)
    # The trailing length counts as 4 bytes in these fields, so both end 4
    # bytes before the file (before "kdbg" too).
    end = len(body) - 4
    case.check(linkedit.fileoff + linkedit.filesize == end, "%s: __LINKEDIT ends at %d" % (where, linkedit.fileoff + linkedit.filesize))
    case.check(symtab.stroff + symtab.strsize == end, "%s: LC_SYMTAB ends at %d" % (where, symtab.stroff + symtab.strsize))
    grown = ((length + 4 + padding) & ~0xFFF) + 0x1000
    case.check(linkedit.vmsize == old_linkedit.vmsize + grown, "%s: vmsize" % where)


def check_compiled(case):
    """-kcross-darwin: the stored stub through the image writer."""
    if not os.path.exists(case.stub("macho", "x86_64")):
        return
    status, said = case.compile("hello.mac", "-kcross-darwin")
    case.check(status == 0 and said.endswith("已生成:%s\n" % case.path("hello.mac")), "-ce: %d %r" % (status, said))
    if status != 0:
        return
    data = open(case.path("hello.mac"), "rb").read()
    length = struct.unpack("<Q", data[-8:])[0]
    case.same_program(data[-8 - length:-8], "-kcross-darwin")
    if tool("llvm-objdump-14"):
        dumped = run(["llvm-objdump-14", "--macho", "--private-headers", case.path("hello.mac")], text=True)
        case.check(dumped.returncode == 0 and dumped.stderr == "", "-kcross-darwin: llvm-objdump: %s" % dumped.stderr)


def check_refused(case):
    image = case.write("raw.bin", bytes(8))
    stub = case.stub("macho", "x86_64")
    if not os.path.exists(stub):
        return
    data = bytearray(open(stub, "rb").read())
    struct.pack_into("<I", data, 36, 4)  # the first command's size below 8
    status, said = case.place("macho", case.write("bad.kes", bytes(data)), image, "bad-out", "-kcross-darwin")
    case.check(status == 1 and said.endswith("darwin_x86_64\n生成失败\n"), "bad cmdsize: %d %r" % (status, said))


def main():
    case = Case("executable_macho")
    for arch in ("x86_64", "arm64"):
        check_arch(case, arch, False, 300)
        check_arch(case, arch, True, 300)
    check_arch(case, "x86_64", False, 28)  # 28 + 4 = 32: no padding
    check_compiled(case)
    check_refused(case)
    case.finish()


main()
