#include "foundation/whole_file.h"

#include <cstdio>

#include "foundation/file_stream.h"
#include "platform/file.h"

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

bool writeFileWhole(const qestl::qestringW& path, const uint8_t* bytes, uint64_t size, bool executable) {
    qestl::qestringW temporary = path;
    temporary.append(u".korvo-part");
    bool complete = false;
    {
        FileStream file(temporary);
        if (file.open()) {
            complete = true;
            uint64_t done = 0;
            while (complete && done < size) {
                uint64_t left = size - done;
                uint32_t piece = left > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(left);
                complete = file.write(bytes + done, piece) == piece;
                done += piece;
            }
            complete = file.close() && complete;
        }
    }
    qestl::qestringA from = qestl::narrow(temporary);
    if (complete && executable) complete = platform::fileMakeExecutable(from.c_str());
    if (complete && std::rename(from.c_str(), qestl::narrow(path).c_str()) == 0) return true;
    std::remove(from.c_str());
    return false;
}
