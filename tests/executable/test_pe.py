#!/usr/bin/env python3
"""PE executables: pefile and llvm-readobj read the resources back (image,
manifest, icons, version block), the headers carry the marks, and wine runs
the result. Fixtures built here: a stub whose own .rsrc precedes .reloc and
grows by more than a page, and one whose header area is full."""
import json
import os
import struct

from exe_support import Case, program_image, run, run_wine, tool

try:
    import pefile
except ImportError:
    pefile = None

STUB_SOURCES = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "platform", "stubs")
COMPILERS = {"x86_64": "x86_64-w64-mingw32", "x86": "i686-w64-mingw32"}
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


def resources(pe):
    """{(type, item): (language, data)}, types and items by name or id."""
    found = {}
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        kind_key = str(kind.name) if kind.name is not None else kind.id
        for item in kind.directory.entries:
            item_key = str(item.name) if item.name is not None else item.id
            for language in item.directory.entries:
                entry = language.data.struct
                found[(kind_key, item_key)] = (language.id, pe.get_data(entry.OffsetToData, entry.Size))
    return found


def icon_file(big):
    """Two images: a bitmap one (BITMAPINFOHEADER, 40) and a PNG one."""
    bitmap = struct.pack("<I", 40) + bytes(range(256)) * (big // 256 + 1)
    png = b"\x89PNG\r\n\x1a\n" + bytes(60)
    head = struct.pack("<HHH", 0, 1, 2)
    at = 6 + 2 * 16
    entries = struct.pack("<BBBBHHII", 32, 32, 0, 0, 1, 32, len(bitmap), at)
    entries += struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png), at + len(bitmap))
    return head + entries + bitmap + png


class PeCase(Case):
    def __init__(self):
        super().__init__("executable_pe")
        self.image = self.write("image.bin", program_image(500))
        self.wine = tool("wine") is not None
        if not self.wine:
            self.skip("wine missing: PE files are checked but not run")
        self.wine_bits = {}

    def pe_checks(self, path, where, stub=None, compiled=None):
        """No warnings, but for pefile's guess from the share of zero bytes
        (the fixture of many small sections and a compiled program's image are
        mostly zeros). compiled: the -c options of the program a -ce build
        holds; else the probe's image."""
        pe = pefile.PE(path)
        mostly_zeros = stub is not None or compiled is not None
        warnings = [w for w in pe.get_warnings() if not (mostly_zeros and "of the file's contents" in w)]
        self.check(warnings == [], "%s: pefile warns %s" % (where, warnings))
        self.check((pe.OPTIONAL_HEADER.MajorLinkerVersion, pe.OPTIONAL_HEADER.MinorLinkerVersion) == (4, 9),
                   "%s: linker version" % where)
        found = resources(pe)
        language, image = found.get(("VMDATA", 666), (None, b""))
        if compiled is not None:
            self.check(language == 0, "%s: VMDATA/666/0" % where)
            self.same_program(image, where, *compiled)
        else:
            self.check((language, image) == (0, open(self.image, "rb").read()), "%s: VMDATA/666/0" % where)
        if tool("llvm-readobj-14"):
            done = run(["llvm-readobj-14", "--coff-resources", path], text=True)
            self.check(done.returncode == 0 and done.stderr == "" and "VMDATA" in done.stdout,
                       "%s: llvm-readobj: %s" % (where, done.stderr))
        return pe, found

    def runs(self, path, arch, where, expected):
        if not self.wine:
            return
        if arch not in self.wine_bits:
            # The bare stub must say it has no image; a wine without 32-bit
            # support runs it silently.
            said = run_wine(self.bin, self.stub("pe", arch)).stdout
            self.wine_bits[arch] = said == b"korvo-stub(pe): no image\n"
            if not self.wine_bits[arch]:
                self.skip("this wine cannot run %s programs" % arch)
        if not self.wine_bits[arch]:
            return
        done = run_wine(self.bin, path)
        self.check(done.returncode == expected[0] and done.stdout.decode() == expected[1],
                   "%s: wine ran %d %r" % (where, done.returncode, done.stdout))

    def compiled_line(self, *options):
        length = len(self.program(*options))
        return 0, "korvo-stub(pe): image=%d stored=%d version=1049 crc=ok\n" % (length, length)

    def check_compiled(self):
        """-kcross-windows: the stored stub through the image writer."""
        if not os.path.exists(self.stub("pe", "x86_64")):
            return
        status, said = self.compile("hello.exe", "-kcross-windows")
        self.check(status == 0 and said.endswith("已生成:%s\n" % self.path("hello.exe")), "-ce: %d %r" % (status, said))
        if status == 0:
            self.pe_checks(self.path("hello.exe"), "-kcross-windows", compiled=())
            self.runs(self.path("hello.exe"), "x86_64", "-kcross-windows", self.compiled_line())

    def check_plain(self, arch):
        stub = self.stub("pe", arch)
        if not os.path.exists(stub):
            self.skip("no %s PE stub" % arch)
            return
        out = "plain-%s.exe" % arch
        status, said = self.place("pe", stub, self.image, out)
        where = "%s plain" % arch
        self.check(status == 0 and said == "已生成:%s\n" % self.path(out), "%s: place said %r" % (where, said))
        pe, found = self.pe_checks(self.path(out), where)
        self.check(list(found) == [("VMDATA", 666)], "%s: resources %s" % (where, list(found)))
        self.check(pe.OPTIONAL_HEADER.Subsystem == 2, "%s: subsystem" % where)
        last = pe.sections[-1]
        self.check(last.Name.rstrip(b"\0") == b".rsrc" and last.Characteristics == 0x40000040,
                   "%s: new section %r" % (where, last.Name))
        self.check(pe.OPTIONAL_HEADER.SizeOfImage == (last.VirtualAddress + last.Misc_VirtualSize + 0xFFF) & ~0xFFF,
                   "%s: SizeOfImage" % where)
        self.runs(self.path(out), arch, where, (0, "korvo-stub(pe): image=692 stored=692 version=1049 crc=ok\n"))

    def check_options(self, arch):
        stub = self.stub("pe", arch, debug=True)
        if not os.path.exists(stub):
            return
        icon = self.write("app.ico", icon_file(300))
        version = self.write("app.version", json.dumps({
            "FileVersion": "1.2.3.4", "ProductVersion": "010.2", "ProductName": "Korvo Test",
            "CompanyName": "Ünïcode Co", "Comments": "not a listed key"}).encode())
        for level, option, size in ((1, "-uac-admin", 373), (2, "-uac-highest", 369)):
            where = "%s %s" % (arch, option)
            out = "options-%s-%d.exe" % (arch, level)
            # The .version file travels in the source list, right after -ce.
            status, said = self.place("pe", stub, self.image, out, version, "-dbg", "-console", option, "-ico", icon)
            notice = "兼容性提示:应用程序图标文件 %s 中的图像[ID:2]不是标准ICO图像,可能无法显示.\n" % icon
            self.check(status == 0 and said == notice + "已生成:%s\n" % self.path(out), "%s: said %r" % (where, said))
            if status != 0:
                continue
            pe, found = self.pe_checks(self.path(out), where)
            self.check(open(self.path(out), "rb").read().endswith(b"kdbg"), "%s: kdbg" % where)
            self.check(pe.OPTIONAL_HEADER.Subsystem == 3, "%s: -console" % where)
            language, manifest = found[(RT_MANIFEST, 1)]
            self.check(language == 0 and len(manifest) == size and manifest.count(b"\t") == 9,
                       "%s: manifest of %d bytes" % (where, len(manifest)))
            language, group = found[(RT_GROUP_ICON, 1)]
            icon_bytes = open(icon, "rb").read()
            self.check(language == 1024 and len(group) == 16 * 2 + 20 and group[:6] == icon_bytes[:6],
                       "%s: icon group" % where)
            for index in (0, 1):
                entry = group[6 + 14 * index:20 + 14 * index]
                source = icon_bytes[6 + 16 * index:22 + 16 * index]
                self.check(entry[:12] == source[:12] and struct.unpack("<H", entry[12:])[0] == index + 1,
                           "%s: icon group entry %d" % (where, index))
                size_, at = struct.unpack("<II", source[8:16])
                self.check(found.get((RT_ICON, index + 1)) == (1024, icon_bytes[at:at + size_]),
                           "%s: icon image %d" % (where, index + 1))
            self.check(found[(RT_VERSION, 1)][0] == 1024, "%s: version language" % where)
            fixed = pe.VS_FIXEDFILEINFO[0]
            self.check((fixed.FileVersionMS, fixed.FileVersionLS, fixed.ProductVersionMS, fixed.ProductVersionLS) ==
                       (0x10002, 0x30004, 0x80002, 0), "%s: fixed file info" % where)
            self.check((fixed.FileFlagsMask, fixed.FileOS, fixed.FileType) == (0x3F, 0x40004, 1),
                       "%s: fixed fields" % where)
            strings, variables = {}, {}
            for info in pe.FileInfo[0]:
                for table in getattr(info, "StringTable", []):
                    self.check(table.LangID == b"040004b0", "%s: string table %r" % (where, table.LangID))
                    strings.update(table.entries)
                for var in getattr(info, "Var", []):
                    variables.update(var.entry)
            self.check(list(strings) == [b"ProductName", b"FileVersion", b"ProductVersion", b"CompanyName"] and
                       strings[b"CompanyName"] == "Ünïcode Co".encode(), "%s: strings %r" % (where, strings))
            self.check(variables == {b"Translation": "0x0400 0x04b0"}, "%s: translation %r" % (where, variables))
            self.runs(self.path(out), arch, where,
                      (0, "korvo-stub(pe): image=692 stored=692 version=1049 crc=ok debug kdbg=yes\n"))

    def check_long_string(self):
        """A String that would push the version block past 16 bits is left
        out; the others stay."""
        stub = self.stub("pe", "x86_64")
        if not os.path.exists(stub):
            return
        version = self.write("long.version", json.dumps({"ProductName": "x" * 40000, "CompanyName": "Co"}).encode())
        status, said = self.place("pe", stub, self.image, "long.exe", version)
        self.check(status == 0, "long string: place said %r" % said)
        pe, found = self.pe_checks(self.path("long.exe"), "long string")
        strings = {}
        for info in pe.FileInfo[0]:
            for table in getattr(info, "StringTable", []):
                strings.update(table.entries)
        self.check(strings == {b"CompanyName": b"Co"} and len(found[(RT_VERSION, 1)][1]) < 0x10000,
                   "long string: strings %r" % list(strings))

    def build_stub(self, name, arch, *extra):
        compiler = COMPILERS[arch] + "-gcc"
        if not tool(compiler):
            return None
        out = self.path(name)
        done = run([compiler, "-Os", "-s", "-mwindows", "-Wl,--no-insert-timestamp", "-o", out,
                    os.path.join(STUB_SOURCES, "stub_pe.c"), os.path.join(STUB_SOURCES, "stub_check.c"), *extra])
        self.check(done.returncode == 0, "%s: fixture build failed: %s" % (name, done.stderr))
        return out if done.returncode == 0 else None

    def check_own_resources(self):
        """A stub with its own .rsrc before .reloc: the section is reused and
        grows by more than a page; .reloc and the entry point follow."""
        windres = tool("x86_64-w64-mingw32-windres")
        if windres is None:
            self.skip("no windres")
            return
        blob = self.write("blob.bin", bytes(100))
        rc = self.write("res.rc", b'5 RCDATA "blob.bin"\n7 ZDATA "blob.bin"\n')
        done = run([windres, rc, "-O", "coff", "-o", self.path("res.o")], cwd=self.scratch)
        self.check(done.returncode == 0, "windres: %s" % done.stderr)
        stub = self.build_stub("own-rsrc.kes", "x86_64", self.path("res.o"))
        if stub is None or done.returncode != 0:
            return
        old = pefile.PE(stub)
        names = [s.Name.rstrip(b"\0") for s in old.sections]
        self.check(names.index(b".rsrc") < names.index(b".reloc"), "fixture: .rsrc does not precede .reloc")
        icon = self.write("big.ico", icon_file(9000))
        status, said = self.compile("own.exe", "-ico", icon, stub=stub)
        self.check(status == 0, "own .rsrc: -ce said %r" % said)
        pe, found = self.pe_checks(self.path("own.exe"), "own .rsrc", compiled=("-ico", icon))
        self.check(found.get((10, 5), (0, b""))[1] == bytes(100) and found.get(("ZDATA", 7), (0, b""))[1] == bytes(100),
                   "own .rsrc: the stub's resources were lost: %s" % list(found))
        kinds = [str(k.name) if k.name is not None else k.id for k in pe.DIRECTORY_ENTRY_RESOURCE.entries]
        self.check(kinds[:2] == ["VMDATA", "ZDATA"], "own .rsrc: named types out of order %s" % kinds)
        section = {s.Name.rstrip(b"\0"): s for s in pe.sections}
        old_section = {s.Name.rstrip(b"\0"): s for s in old.sections}
        growth = ((section[b".rsrc"].Misc_VirtualSize + 0xFFF) & ~0xFFF) - \
                 ((old_section[b".rsrc"].Misc_VirtualSize + 0xFFF) & ~0xFFF)
        self.check(growth >= 0x2000, "own .rsrc: grew by only %#x" % growth)
        self.check(section[b".reloc"].VirtualAddress == old_section[b".reloc"].VirtualAddress + growth,
                   "own .rsrc: .reloc did not move")
        self.check(pe.OPTIONAL_HEADER.DATA_DIRECTORY[5].VirtualAddress == section[b".reloc"].VirtualAddress,
                   "own .rsrc: base relocation entry not moved")
        self.runs(self.path("own.exe"), "x86_64", "own .rsrc", self.compiled_line("-ico", icon))
        self.check_fatal(stub)

    def check_fatal(self, stub):
        """Broken resource directories end the build with the editor's texts."""
        pe = pefile.PE(stub)
        root = pe.get_offset_from_rva(pe.OPTIONAL_HEADER.DATA_DIRECTORY[2].VirtualAddress)
        named = [k for k in pe.DIRECTORY_ENTRY_RESOURCE.entries if k.name is not None][0]
        long_name = bytearray(open(stub, "rb").read())
        struct.pack_into("<H", long_name, root + named.struct.NameOffset, 257)
        leaf = pe.DIRECTORY_ENTRY_RESOURCE.entries[0].directory.entries[0].directory.entries[0]
        nowhere = bytearray(open(stub, "rb").read())
        struct.pack_into("<I", nowhere, leaf.data.struct.get_file_offset(), 0x7FFFFFF0)
        for index, (data, text) in enumerate(((long_name, "probably bad unicode string!\n"),
                                              (nowhere, "RVA2RAW Error!\n"))):
            status, said = self.place("pe", self.write("fatal.kes", bytes(data)), self.image, "fatal-%d.exe" % index)
            self.check((status, said) == (1, text), "fatal %r: %d %r" % (text, status, said))
            self.check(not os.path.exists(self.path("fatal-%d.exe" % index)), "fatal %r: a file was left" % text)

    def check_full_headers(self):
        """28 sections leave no room for a new header: the headers grow."""
        extra = self.write("sections.c", "".join(
            '__attribute__((used, section(".k%02d"))) const int k%02d = %d;\n' % (i, i, i) for i in range(18)).encode())
        stub = self.build_stub("full.kes", "x86_64", extra)
        if stub is None:
            return
        old = pefile.PE(stub)
        table_end = old.sections[-1].get_file_offset() + 40
        self.check(len(old.sections) == 28 and table_end + 40 > old.OPTIONAL_HEADER.SizeOfHeaders,
                   "fixture: %d sections, header area not full" % len(old.sections))
        status, said = self.compile("full.exe", stub=stub)
        self.check(status == 0, "full headers: -ce said %r" % said)
        pe, _ = self.pe_checks(self.path("full.exe"), "full headers", stub, compiled=())
        self.check(pe.OPTIONAL_HEADER.SizeOfHeaders == old.OPTIONAL_HEADER.SizeOfHeaders + 0x200,
                   "full headers: SizeOfHeaders %#x" % pe.OPTIONAL_HEADER.SizeOfHeaders)
        self.check(len(pe.sections) == 29 and pe.sections[-1].Name.rstrip(b"\0") == b".rsrc", "full headers: no .rsrc")
        self.runs(self.path("full.exe"), "x86_64", "full headers", self.compiled_line())

    def check_refused(self):
        stub = self.stub("pe", "x86_64")
        if not os.path.exists(stub):
            return
        # A stub that already carries an image would ship that program.
        self.place("pe", stub, self.image, "first.exe")
        status, said = self.place("pe", self.path("first.exe"), self.image, "second.exe")
        self.check((status, said) == (1, "无法写入文件:%s\n生成失败\n" % self.path("second.exe")),
                   "VMDATA twice: %d %r" % (status, said))
        cut = self.write("cut.ico", icon_file(300)[:200])
        status, said = self.place("pe", stub, self.image, "cut.exe", "-ico", cut)
        self.check((status, said) == (1, "无法读取资源:%s\n无法写入文件:%s\n生成失败\n" % (cut, self.path("cut.exe"))),
                   "cut icon: %d %r" % (status, said))
        status, said = self.place("pe", self.write("text.kes", b"not an executable"), self.image, "text.exe")
        self.check((status, said) == (1, "无法写入文件:%s\n生成失败\n" % self.path("text.exe")), "text stub: %r" % said)
        for name in ("second.exe", "cut.exe", "text.exe"):
            self.check(not os.path.exists(self.path(name)), "%s was left behind" % name)


def main():
    case = PeCase()
    if pefile is None:
        case.skip("pefile missing (it is Debian's python3-pefile, run under /usr/bin/python3)")
        case.finish()
        return
    for arch in ("x86_64", "x86"):
        case.check_plain(arch)
        case.check_options(arch)
    case.check_long_string()
    case.check_compiled()
    case.check_own_resources()
    case.check_full_headers()
    case.check_refused()
    case.finish()


main()
