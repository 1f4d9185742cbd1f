#include "foundation/zip_archive.h"

#include <memory>

#include "foundation/byte_io.h"

namespace {

constexpr uint32_t kWindowSize = 16384;
constexpr uint32_t kWindowStep = kWindowSize - 4;  // windows overlap by 4 bytes

bool isEndSignatureAt(const uint8_t* at) { return at[0] == 'P' && at[1] == 'K' && at[2] == 5 && at[3] == 6; }

}  // namespace

// Windows of 16384 bytes are scanned from the end of the archive backwards;
// the first window holding the bytes "PK" 5 6 decides. Within it, the hit
// nearest the end whose comment length reaches exactly the end of the archive
// wins, so that "PK\5\6" inside member data or a comment does not mislead;
// when no hit fits that way, the first hit of the window is taken.
int64_t ZipArchive::findEndRecord(qestl::qeistream* stream, uint64_t size) {
    std::unique_ptr<uint8_t[]> window(new uint8_t[kWindowSize]);
    uint64_t position = size;
    for (;;) {
        uint64_t start = position > kWindowStep ? position - kWindowStep : 0;
        if (stream->seek(qestl::kSeekBegin, static_cast<int64_t>(start)) != start) return -1;
        uint32_t length = stream->read(window.get(), kWindowSize);
        if (length > kWindowSize) return -1;
        int64_t first = -1;
        int64_t exact = -1;
        for (uint32_t i = 0; length >= 5 && i + 4 <= length; ++i) {
            if (!isEndSignatureAt(window.get() + i)) continue;
            if (first < 0) first = i;
            uint64_t at = start + i;
            if (i + kZipEndRecordSize <= length) {
                uint32_t commentLength = qestl::loadU16LE(window.get() + i + 20);
                if (at + kZipEndRecordSize + commentLength == size) exact = i;
            }
        }
        if (exact >= 0) return static_cast<int64_t>(start) + exact;
        if (first >= 0) return static_cast<int64_t>(start) + first;
        if (start == 0) return -1;
        position = start;
    }
}

bool ZipArchive::open(qestl::qeistream* stream) {
    close();
    if (stream == nullptr) return false;
    uint64_t size = stream->seek(qestl::kSeekEnd, 0);
    int64_t hit = findEndRecord(stream, size);
    if (hit < 0) return false;

    uint32_t signature = 0;
    stream->seek(qestl::kSeekBegin, hit);
    if (!zipReadSignature(stream, &signature) || end_.read(stream, signature) != kZipOk) return false;
    archiveSize_ = size;

    // The directory lies before its end record; anything else is a lie.
    if (end_.directoryOffset > static_cast<uint64_t>(hit)) return false;
    stream->seek(qestl::kSeekBegin, end_.directoryOffset);
    if (!zipReadSignature(stream, &signature)) return false;
    while (signature != kZipEndRecord) {
        // Only central headers belong in the directory.
        if (signature != kZipCentralHeader) {
            close();
            return false;
        }
        auto* entry = new ZipRecord;
        if (entry->read(stream, signature) != kZipOk) {
            delete entry;
            close();
            return false;
        }
        entries_.pushBack(entry);
        ZipNameMap::Node* node = names_.findOrInsert(qestl::widen(entry->name));
        if (node == nullptr) {
            close();
            return false;
        }
        node->value = entry;
        if (!zipReadSignature(stream, &signature)) {
            close();
            return false;
        }
    }
    return true;
}

ZipRecord* ZipArchive::find(const char* name) const {
    if (name == nullptr) return nullptr;
    return find(qestl::widen(name));
}

ZipRecord* ZipArchive::find(const qestl::qestringW& name) const {
    ZipNameMap::Node* node = names_.find(name);
    return node == nullptr ? nullptr : node->value;
}

void ZipArchive::close() {
    names_.clear();
    for (ZipRecord* entry : entries_) delete entry;
    entries_.clear();
    end_ = ZipRecord();
    archiveSize_ = 0;
}
