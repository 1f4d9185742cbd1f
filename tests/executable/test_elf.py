#!/usr/bin/env python3
"""ELF executables: the image replaces ".vm", later sections move, the
segments stay as the stub's, readelf and eu-elflint see nothing new, and the
stub finds and checks its image. Big-endian ELF32 and ELF64 fixtures check
the byte order and the moves by file position."""
import os
import re
import struct

from exe_support import Case, program_image, run, tool

# A new executable gets 0777 less the umask, as a linker creates it.
UMASK = os.umask(0)
os.umask(UMASK)


def readelf(path):
    done = run(["readelf", "-h", "-S", "-l", "-W", path], text=True)
    return done.stdout, done.stderr


def sections(text):
    """name -> (type, offset, size) from readelf -S -W."""
    found = {}
    for line in text.splitlines():
        m = re.match(r"\s*\[\s*\d+\]\s+(\S*)\s+(\S+)\s+[0-9a-f]+\s+([0-9a-f]+)\s+([0-9a-f]+)", line)
        if m:
            found[m.group(1)] = (m.group(2), int(m.group(3), 16), int(m.group(4), 16))
    return found


def program_headers(text):
    start = text.find("Program Headers:")
    end = text.find("Section to Segment mapping:")
    return text[start:end] if start >= 0 else ""


def check_stub_build(case, arch, debug):
    stub = case.stub("elf", arch, debug)
    if not os.path.exists(stub):
        case.skip("no %s stub" % arch)
        return
    image = case.write("image.bin", program_image(100))
    out = "elf-%s-%d" % (arch, debug)
    status, text = case.place("elf", stub, image, out, *(["-dbg"] if debug else []))
    where = "%s%s" % (arch, " -dbg" if debug else "")
    case.check(status == 0 and text == "已生成:%s\n" % case.path(out), "%s: place said %d %r" % (where, status, text))
    if status != 0:
        return
    path = case.path(out)
    new_text, new_err = readelf(path)
    old_text, _ = readelf(stub)
    case.check(new_err == "" and "Warning" not in new_text, "%s: readelf warns: %s" % (where, new_err))
    new, old = sections(new_text), sections(old_text)
    block = 32 + len(open(image, "rb").read()) + (32 - 292 % 32)
    case.check(new[".vm"][2] == block, "%s: .vm size %d, expected %d" % (where, new[".vm"][2], block))
    delta = block - old[".vm"][2]
    for name, (kind, offset, _) in old.items():
        if offset > old[".vm"][1] and kind != "NOBITS":
            case.check(new[name][1] == offset + delta, "%s: %s not moved behind .vm" % (where, name))
    case.check(program_headers(new_text) == program_headers(old_text), "%s: segments differ from the stub's" % where)
    data = open(path, "rb").read()
    at = new[".vm"][1]
    stored = struct.unpack_from("<Q", data, at)[0]
    case.check(stored == 292 and data[at + 8:at + 32] == bytes(24), "%s: head %d" % (where, stored))
    case.check(data[at + 32:at + 32 + stored] == open(image, "rb").read(), "%s: image bytes differ" % where)
    case.check(data[at + 32 + stored:at + block] == bytes(block - 32 - stored), "%s: padding not zero" % where)
    case.check(data.endswith(b"kdbg") == debug, "%s: kdbg trailer" % where)
    case.check(os.stat(path).st_mode & 0o777 == 0o777 & ~UMASK, "%s: mode %o" % (where, os.stat(path).st_mode & 0o777))
    if tool("eu-elflint"):
        lint_new = run(["eu-elflint", "--gnu-ld", path], text=True).stdout.replace(path, "F")
        lint_old = run(["eu-elflint", "--gnu-ld", stub], text=True).stdout.replace(stub, "F")
        case.check(lint_new == lint_old, "%s: eu-elflint differs:\n%s" % (where, lint_new))
    ran = case.run_native(path)
    if ran is None:
        return
    expected = "korvo-stub(elf): image=292 stored=292 version=1049 crc=ok%s\n" % (" debug kdbg=yes" if debug else "")
    case.check(ran.returncode == 0 and ran.stdout == expected, "%s: ran %d %r" % (where, ran.returncode, ran.stdout))


def vm_block(path):
    """The image the ".vm" section of an executable holds."""
    at = sections(readelf(path)[0])[".vm"][1]
    data = open(path, "rb").read()
    length = struct.unpack_from("<Q", data, at)[0]
    return data[at + 32:at + 32 + length]


def check_compiled(case):
    """-ce through the image writer, with the stubs stored in the compiler."""
    for arch, debug in (("x86_64", False), ("x86", False), ("x86_64", True)):
        if not os.path.exists(case.stub("elf", arch, debug)):
            continue
        out = "hello-%s%s" % (arch, "-dbg" if debug else "")
        status, said = case.compile(out, "-arch:" + arch, *(["-dbg"] if debug else []))
        case.check(status == 0 and said.endswith("已生成:%s\n" % case.path(out)), "-ce %s: %d %r" % (arch, status, said))
        if status != 0:
            continue
        image = vm_block(case.path(out))
        case.same_program(image, "-ce " + arch, *(["-dbg"] if debug else []))
        # The image streams into the executable as it is written; its length
        # is set last. The bytes are those the stub writer makes of it whole.
        case.place("elf", case.stub("elf", arch, debug), case.write(out + ".bin", image), out + ".placed",
                   *(["-dbg"] if debug else []))
        placed = open(case.path(out + ".placed"), "rb").read()
        case.check(open(case.path(out), "rb").read() == placed, "-ce %s: not the placed stub's bytes" % out)
        ran = case.run_native(case.path(out))
        if ran is None:
            continue
        expected = "korvo-stub(elf): image=%d stored=%d version=1049 crc=ok%s\n" % (len(image), len(image),
                                                                                 " debug kdbg=yes" if debug else "")
        case.check(ran.returncode == 0 and ran.stdout == expected, "-ce %s: ran %d %r" % (arch, ran.returncode, ran.stdout))
    # A custom target's stub is told by its magic: a big-endian ELF here.
    status, said = case.compile("hello-be", stub=case.write("be.kes", big_endian_fixture(True)))
    case.check(status == 0, "-kcross-fixture: %d %r" % (status, said))
    if status == 0:
        data = open(case.path("hello-be"), "rb").read()
        length = struct.unpack_from(">Q", data, 0x200)[0]
        case.same_program(data[0x220:0x220 + length], "-kcross-fixture")


def check_verdicts(case):
    """The stub's other verdicts: a damaged image and a compressed one."""
    stub = case.stub("elf", "x86_64")
    if not os.path.exists(stub):
        return
    for name, image, status, line in [
            ("bad", program_image(40, crc_ok=False), 2, "image=232 stored=232 version=1049 crc=BAD"),
            ("packed", program_image(40, options=1), 0, "image=232 stored=232 version=1049 compressed crc=skipped")]:
        case.place("elf", stub, case.write(name + ".bin", image), name)
        ran = run([case.path(name)], text=True)
        case.check((ran.returncode, ran.stdout) == (status, "korvo-stub(elf): %s\n" % line),
                   "%s image: %d %r" % (name, ran.returncode, ran.stdout))


def big_endian_fixture(wide):
    """A big-endian ELF with a section stored behind ".vm" but listed before
    it, a NOBITS section, a note segment holding exactly ".vm" and a load
    segment before it."""
    names = b"\0.text\0.late\0.vm\0.bss\0.shstrtab\0"
    text_at, vm_at, late_at, names_at = 0x100, 0x200, 0x220, 0x240
    head_size, ph_size, sh_size = (64, 56, 64) if wide else (52, 32, 40)
    shoff = 0x300
    data = bytearray(shoff + 6 * sh_size)
    data[0:16] = b"\x7fELF" + bytes([2 if wide else 1, 2, 1]) + bytes(9)
    if wide:
        struct.pack_into(">HHIQQQIHHHHHH", data, 16, 2, 43, 1, 0x1000, head_size, shoff, 0, head_size, ph_size, 2,
                         sh_size, 6, 5)
    else:
        struct.pack_into(">HHIIIIIHHHHHH", data, 16, 2, 20, 1, 0x1000, head_size, shoff, 0, head_size, ph_size, 2,
                         sh_size, 6, 5)

    def program(index, kind, offset, size):
        at = head_size + index * ph_size
        if wide:
            struct.pack_into(">IIQQQQQQ", data, at, kind, 4, offset, offset, offset, size, size, 1)
        else:
            struct.pack_into(">IIIIIIII", data, at, kind, offset, offset, offset, size, size, 4, 1)

    program(0, 1, 0, text_at + 0x40)   # PT_LOAD
    program(1, 4, vm_at, 32)           # PT_NOTE over ".vm"

    def section(index, name, kind, offset, size, flags=0):
        at = shoff + index * sh_size
        if wide:
            struct.pack_into(">IIQQQQIIQQ", data, at, name, kind, flags, 0, offset, size, 0, 0, 1, 0)
        else:
            struct.pack_into(">IIIIIIIIII", data, at, name, kind, flags, 0, offset, size, 0, 0, 1, 0)

    section(1, names.index(b".late"), 1, late_at, 0x10)
    section(2, names.index(b".text"), 1, text_at, 0x40, 6)
    section(3, names.index(b".vm"), 1, vm_at, 32)
    section(4, names.index(b".bss"), 8, 0x238, 0x100, 3)
    section(5, names.index(b".shstrtab"), 3, names_at, len(names))
    data[names_at:names_at + len(names)] = names
    return bytes(data)


def check_big_endian(case):
    if not tool("readelf"):
        case.skip("no readelf")
        return
    for wide in (False, True):
        where = "big-endian ELF%d" % (64 if wide else 32)
        stub = case.write("be%d.kes" % wide, big_endian_fixture(wide))
        old_text, _ = readelf(stub)
        for length, block in ((64, 96), (65, 128)):
            image = case.write("raw.bin", bytes(range(length)))
            status, said = case.place("elf", stub, image, "be-out")
            case.check(status == 0, "%s: place said %r" % (where, said))
            new_text, err = readelf(case.path("be-out"))
            case.check(err == "", "%s: readelf warns: %s" % (where, err))
            old, new = sections(old_text), sections(new_text)
            delta = block - 32
            case.check(new[".vm"][2] == block, "%s: .vm size %d for %d bytes" % (where, new[".vm"][2], length))
            case.check(new[".late"][1] == old[".late"][1] + delta, "%s: .late not moved by position" % where)
            case.check(new[".shstrtab"][1] == old[".shstrtab"][1] + delta, "%s: .shstrtab not moved" % where)
            case.check(new[".bss"][1] == old[".bss"][1], "%s: NOBITS section moved" % where)
            data = open(case.path("be-out"), "rb").read()
            case.check(struct.unpack_from(">Q", data, 0x200)[0] == length, "%s: head not big-endian" % where)
            note = [line.split() for line in new_text.splitlines() if line.strip().startswith("NOTE")]
            load = [line.split() for line in new_text.splitlines() if line.strip().startswith("LOAD")]
            case.check(note and int(note[0][4], 16) == block, "%s: note segment did not grow" % where)
            case.check(load and int(load[0][4], 16) == 0x140, "%s: load segment changed" % where)


def check_refused(case):
    """Stubs the writer cannot use: no ".vm", a section table past the end."""
    plain = bytearray(big_endian_fixture(True))
    at = plain.index(b".vm\0")
    plain[at:at + 3] = b".vx"
    broken = bytearray(big_endian_fixture(False))
    struct.pack_into(">I", broken, 32, 0xFFFFFF00)  # e_shoff
    image = case.write("raw.bin", bytes(8))
    for index, (name, stub) in enumerate((("no .vm", plain), ("bad e_shoff", broken))):
        out = "refused-%d" % index
        status, said = case.place("elf", case.write("refused.kes", bytes(stub)), image, out)
        expected_tail = "linux_x86_64\n生成失败\n"
        case.check(status == 1 and said.endswith(expected_tail) and "compiler_extenision.html" in said,
                   "%s: %d %r" % (name, status, said))
        case.check(not os.path.exists(case.path(out)), "%s: a file was left" % name)


def check_not_writable(case):
    stub = case.stub("elf", "x86_64")
    if not os.path.exists(stub):
        return
    out = os.path.join("no-such-folder", "out")
    status, said = case.place("elf", stub, case.write("raw.bin", bytes(8)), out)
    case.check((status, said) == (1, "无法写入文件:%s\n生成失败\n" % case.path(out)), "unwritable: %d %r" % (status, said))
    # A replaced file keeps its mode, as a linker's output would.
    old = case.write("old-output", b"old")
    os.chmod(old, 0o600)
    status, _ = case.place("elf", stub, case.write("image.bin", program_image(10)), "old-output")
    case.check(status == 0 and os.stat(old).st_mode & 0o777 == 0o600, "replaced output: mode %o" % os.stat(old).st_mode)


def main():
    case = Case("executable_elf")
    for arch in ("x86_64", "x86"):
        for debug in (False, True):
            check_stub_build(case, arch, debug)
    check_compiled(case)
    check_verdicts(case)
    check_big_endian(case)
    check_refused(case)
    check_not_writable(case)
    case.finish()


main()
