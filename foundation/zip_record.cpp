#include "foundation/zip_record.h"

#include <memory>

#include "foundation/byte_io.h"

namespace {

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
    record->versionNeeded = qestl::loadU16LE(at + 0);
    record->flags = qestl::loadU16LE(at + 2);
    record->method = qestl::loadU16LE(at + 4);
    record->time = qestl::loadU16LE(at + 6);
    record->date = qestl::loadU16LE(at + 8);
    record->crc32 = qestl::loadU32LE(at + 10);
    record->compressedSize = qestl::loadU32LE(at + 14);
    record->uncompressedSize = qestl::loadU32LE(at + 18);
    *nameLength = qestl::loadU16LE(at + 22);
    record->extraLength = qestl::loadU16LE(at + 24);
}

}  // namespace

bool zipReadSignature(qestl::qeistream* stream, uint32_t* signature) {
    uint8_t bytes[4];
    if (!readExactly(stream, bytes, 4)) return false;
    *signature = qestl::loadU32LE(bytes);
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
                versionMadeBy = qestl::loadU16LE(fixed);
                const uint8_t* tail = fixed + 2 + 26;
                commentLength = qestl::loadU16LE(tail + 0);
                diskNumberStart = qestl::loadU16LE(tail + 2);
                internalAttributes = qestl::loadU16LE(tail + 4);
                externalAttributes = qestl::loadU32LE(tail + 6);
                localHeaderOffset = qestl::loadU32LE(tail + 10);
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
            crc32 = qestl::loadU32LE(fixed);
            compressedSize = qestl::loadU32LE(fixed + 4);
            uncompressedSize = qestl::loadU32LE(fixed + 8);
            return kZipOk;
        }
        case kZipEndRecord: {
            uint8_t fixed[18];
            if (!readExactly(from, fixed, sizeof fixed)) return kZipShortRead;
            thisDisk = qestl::loadU16LE(fixed);
            directoryDisk = qestl::loadU16LE(fixed + 2);
            entriesOnDisk = qestl::loadU16LE(fixed + 4);
            totalEntries = qestl::loadU16LE(fixed + 6);
            directorySize = qestl::loadU32LE(fixed + 8);
            directoryOffset = qestl::loadU32LE(fixed + 12);
            if (!readText(from, qestl::loadU16LE(fixed + 16), &comment)) return kZipShortRead;
            return kZipOk;
        }
        default: return kZipBadSignature;
    }
}
