#include "foundation/side_file.h"

#include <cstdio>

#include "foundation/file_stream.h"

bool readWholeFile(const qestl::qestringW& path, qestl::ByteVector& bytes) {
    bytes.clear();
    ReadOnlyFileStream file(path);
    if (!file.open()) return false;
    // The size only sizes the buffer: the file is read to its end whatever it
    // said, so a file that changes meanwhile cannot overrun anything.
    uint8_t chunk[65536];
    for (;;) {
        uint32_t got = file.read(chunk, sizeof chunk);
        if (got == 0) break;
        bytes.appendRange(chunk, got);
    }
    file.close();
    return true;
}

bool readJsonSideFile(const qestl::qestringW& path, const qestl::qestringW& shown, cbjson& document,
                      const char* unreadable, const char* invalid) {
    qestl::ByteVector bytes;
    if (!readWholeFile(path, bytes)) {
        std::printf("%s%s\n", unreadable, qestl::narrow(shown).c_str());
        return false;
    }
    cbjson parsed;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    if (bytes.empty() || !parsed.parse(text, bytes.size())) {
        std::printf("%s%s\n", invalid, qestl::narrow(shown).c_str());
        return false;
    }
    document.reset(parsed.detach());
    return true;
}
