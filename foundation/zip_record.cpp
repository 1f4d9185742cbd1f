#include "foundation/zip_record.h"

#include <memory>

namespace {

uint16_t u16At(const uint8_t* at) { return static_cast<uint16_t>(at[0] | (at[1] << 8)); }

uint32_t u32At(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | (static_cast<uint32_t>(at[1]) << 8) | (static_cast<uint32_t>(at[2]) << 16) |
           (static_cast<uint32_t>(at[3]) << 24);
}

bool readExactly(qestl::qeistream* stream, void* into, uint32_t count) {
    return count == 0 || stream->read(into, count) == count;
}

// Reads `length` bytes of text (a name or a comment) into `text`.
bool readText(qestl::qeistream* stream, uint32_t length, qestl::qestringA* text) {
    if (length == 0) {
        text->clear();
        return true;
    }
    std::unique_ptr<char[]> bytes(new char[length]);
    if (!readExactly(stream, bytes.get(), length)) return false;
    text->assign(bytes.get(), length);
    return true;
}

// The 26 bytes local and central headers share, from "version needed" on.
// Returns the name length and stores the comment length of a central header.
void takeCommonFields(ZipRecord* record, const uint8_t* at, uint16_t* nameLength) {
    record->versionNeeded = u16At(at + 0);
    record->flags = u16At(at + 2);
    record->method = u16At(at + 4);
    record->time = u16At(at + 6);
    record->date = u16At(at + 8);
    record->crc32 = u32At(at + 10);
    record->compressedSize = u32At(at + 14);
    record->uncompressedSize = u32At(at + 18);
    *nameLength = u16At(at + 22);
    record->extraLength = u16At(at + 24);
}

}  // namespace

bool zipReadSignature(qestl::qeistream* stream, uint32_t* signature) {
    uint8_t bytes[4];
    if (!readExactly(stream, bytes, 4)) return false;
    *signature = u32At(bytes);
    return true;
}

int ZipRecord::read(qestl::qeistream* from, uint32_t kind) {
    if ((kind & 0xFFFF) != 0x4B50) return kZipBadSignature;
    stream = from;
    signature = kind;
    switch (kind) {
        case kZipLocalHeader:
        case kZipCentralHeader: {
            bool central = kind == kZipCentralHeader;
            headerOffset = from->tell() - 4;
            uint8_t fixed[2 + 26 + 14];
            uint8_t* common = central ? fixed + 2 : fixed;
            if (!readExactly(from, fixed, central ? sizeof fixed : 26)) return kZipShortRead;
            uint16_t nameLength = 0;
            takeCommonFields(this, common, &nameLength);
            uint16_t commentLength = 0;
            if (central) {
                versionMadeBy = u16At(fixed);
                const uint8_t* tail = fixed + 2 + 26;
                commentLength = u16At(tail + 0);
                diskNumberStart = u16At(tail + 2);
                internalAttributes = u16At(tail + 4);
                externalAttributes = u32At(tail + 6);
                localHeaderOffset = u32At(tail + 10);
            }
            if (!readText(from, nameLength, &name)) return kZipShortRead;
            if (!central) {
                from->seek(qestl::kSeekCurrent, int64_t{extraLength} + compressedSize);
                return kZipOk;
            }
            from->seek(qestl::kSeekCurrent, extraLength);
            if (!readText(from, commentLength, &comment)) return kZipShortRead;
            return kZipOk;
        }
        case kZipDataDescriptor: {
            uint8_t fixed[12];
            if (!readExactly(from, fixed, sizeof fixed)) return kZipShortRead;
            crc32 = u32At(fixed);
            compressedSize = u32At(fixed + 4);
            uncompressedSize = u32At(fixed + 8);
            return kZipOk;
        }
        case kZipEndRecord: {
            uint8_t fixed[18];
            if (!readExactly(from, fixed, sizeof fixed)) return kZipShortRead;
            thisDisk = u16At(fixed);
            directoryDisk = u16At(fixed + 2);
            entriesOnDisk = u16At(fixed + 4);
            totalEntries = u16At(fixed + 6);
            directorySize = u32At(fixed + 8);
            directoryOffset = u32At(fixed + 12);
            if (!readText(from, u16At(fixed + 16), &comment)) return kZipShortRead;
            return kZipOk;
        }
        default: return kZipBadSignature;
    }
}
