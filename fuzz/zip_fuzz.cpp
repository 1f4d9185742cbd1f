// Any bytes as a ZIP archive: open it, then read every member it lists.
#include <cstddef>
#include <cstdint>

#include "foundation/zip_archive.h"
#include "foundation/zip_member.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qestl::qeByteStream stream(data, size);
    ZipArchive archive;
    if (!archive.open(&stream)) return 0;
    static uint8_t buffer[4096];
    for (const ZipRecord* entry : archive.entries()) {
        archive.find(entry->name.c_str());
        ZipMemberReader reader;
        if (!reader.begin(&stream, archive.archiveSize(), *entry)) continue;
        // Deflate can expand a thousandfold: a bounded read is enough here.
        for (int pieces = 0; pieces < 256; ++pieces) {
            int64_t got = reader.read(buffer, sizeof buffer);
            if (got <= 0) break;
            if (got > static_cast<int64_t>(sizeof buffer)) __builtin_trap();
        }
    }
    return 0;
}
