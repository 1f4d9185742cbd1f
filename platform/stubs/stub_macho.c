/* macOS stand-in stub: the image is appended to its own file, followed by its
   length as a little-endian u64 (and "kdbg" in debuggable builds). Built
   without an SDK: the few libSystem functions are declared by hand. */
#include "stub_check.h"
#include "stub_posix.h"

extern int _NSGetExecutablePath(char* buffer, unsigned* size);

int main(void) {
    char path[4096];
    unsigned pathSize = sizeof path;
    if (_NSGetExecutablePath(path, &pathSize) != 0) return kstubReport("macho", 0, 0, "cannot read itself", 0);
    unsigned long size = 0;
    unsigned char* self = kstubReadFile(path, &size);
    if (self == 0) return kstubReport("macho", 0, 0, "cannot read itself", 0);
    int kdbg = kstubEndsInKdbg(self, size);
    if (kdbg) size -= 4;
    if (size < 8) return kstubReport("macho", 0, 0, "no image", kdbg);
    unsigned long long stored = 0;
    for (int i = 7; i >= 0; --i) stored = (stored << 8) | self[size - 8 + i];
    if (stored == 0 || stored > size - 8) return kstubReport("macho", 0, 0, "no image", kdbg);
    return kstubReport("macho", self + (size - 8 - stored), stored, 0, kdbg);
}
