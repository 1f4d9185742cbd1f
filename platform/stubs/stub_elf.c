/* Linux stand-in stub: finds the image in its own section ".vm", whose data
   starts with the image length (u64 in the file's byte order) and holds the
   image 32 bytes in. */
#include "stub_check.h"
#include "stub_posix.h"

static int bigEndian;

static unsigned long long field(const unsigned char* p, int bytes) {
    unsigned long long value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[bigEndian ? i : bytes - 1 - i];
    return value;
}

/* True when [offset, offset + length) lies inside the file. */
static int inside(unsigned long long offset, unsigned long long length, unsigned long size) {
    return offset <= size && length <= size - offset;
}

int main(void) {
    unsigned long size = 0;
    unsigned char* self = kstubReadFile("/proc/self/exe", &size);
    int kdbg = kstubEndsInKdbg(self, size);
    if (self == 0 || size < 64) return kstubReport("elf", 0, 0, "cannot read itself", kdbg);
    int wide = self[4] == 2;
    bigEndian = self[5] == 2;
    unsigned long long shoff = wide ? field(self + 40, 8) : field(self + 32, 4);
    unsigned shentsize = (unsigned)field(self + (wide ? 58 : 46), 2);
    unsigned shnum = (unsigned)field(self + (wide ? 60 : 48), 2);
    unsigned shstrndx = (unsigned)field(self + (wide ? 62 : 50), 2);
    unsigned want = wide ? 64u : 40u;
    if (shentsize < want || !inside(shoff, (unsigned long long)shnum * shentsize, size) || shstrndx >= shnum)
        return kstubReport("elf", 0, 0, "bad section table", kdbg);
    const unsigned char* names = self + shoff + (unsigned long long)shstrndx * shentsize;
    unsigned long long namesAt = wide ? field(names + 24, 8) : field(names + 16, 4);
    unsigned long long namesSize = wide ? field(names + 32, 8) : field(names + 20, 4);
    if (!inside(namesAt, namesSize, size)) return kstubReport("elf", 0, 0, "bad section table", kdbg);
    for (unsigned i = 0; i < shnum; ++i) {
        const unsigned char* header = self + shoff + (unsigned long long)i * shentsize;
        unsigned long long name = field(header, 4);
        if (name > namesSize || namesSize - name < 4) continue;
        const unsigned char* text = self + namesAt + name;
        if (text[0] != '.' || text[1] != 'v' || text[2] != 'm' || text[3] != 0) continue;
        unsigned long long at = wide ? field(header + 24, 8) : field(header + 16, 4);
        unsigned long long length = wide ? field(header + 32, 8) : field(header + 20, 4);
        if (!inside(at, length, size) || length < 32) return kstubReport("elf", 0, 0, "bad .vm section", kdbg);
        unsigned long long stored = field(self + at, 8);
        if (stored > length - 32) return kstubReport("elf", 0, 0, "bad .vm section", kdbg);
        if (stored == 0) return kstubReport("elf", 0, 0, "no image", kdbg);
        return kstubReport("elf", self + at + 32, stored, 0, kdbg);
    }
    return kstubReport("elf", 0, 0, "no .vm section", kdbg);
}
