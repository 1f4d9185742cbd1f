// One ZIP record as read from a stream: a local header, a central directory
// header, a data descriptor or the end-of-central-directory record. Numbers
// are little-endian on the stream; every record starts with "PK" and a kind.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/stream.h"

inline constexpr uint32_t kZipLocalHeader = 0x04034B50;
inline constexpr uint32_t kZipCentralHeader = 0x02014B50;
inline constexpr uint32_t kZipDataDescriptor = 0x08074B50;
inline constexpr uint32_t kZipEndRecord = 0x06054B50;

inline constexpr uint32_t kZipLocalHeaderSize = 30;  // fixed part, signature included
inline constexpr uint32_t kZipEndRecordSize = 22;    // the same, before the comment
inline constexpr uint32_t kZipDirectoryAttribute = 0x10;

enum ZipResult : int {
    kZipOk = 0,
    kZipBadSignature = -1,
    kZipShortRead = -3,
    kZipUnsupportedMethod = -4,
    kZipNotOpen = -6,
};

struct ZipRecord {
    qestl::qeistream* stream = nullptr;  // where the record was read from
    uint32_t signature = 0;
    uint16_t versionMadeBy = 20;
    uint16_t versionNeeded = 20;
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t time = 0;
    uint16_t date = 0;
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t extraLength = 0;
    uint16_t diskNumberStart = 0;
    uint64_t headerOffset = 0;  // stream position of the record's signature
    qestl::qestringA name;
    qestl::qestringA comment;
    uint32_t internalAttributes = 0;
    uint32_t externalAttributes = 0;
    uint32_t localHeaderOffset = 0;
    // End record only.
    uint16_t thisDisk = 0;
    uint16_t directoryDisk = 0;
    uint16_t entriesOnDisk = 0;
    uint16_t totalEntries = 0;
    uint32_t directorySize = 0;
    uint32_t directoryOffset = 0;

    // Reads the rest of a record whose 4-byte signature was just read from
    // `stream`. A local header leaves the stream behind its data. Returns
    // kZipOk, kZipBadSignature or kZipShortRead.
    int read(qestl::qeistream* from, uint32_t kind);

    bool isDirectory() const { return (externalAttributes & kZipDirectoryAttribute) != 0; }
};

// Reads a little-endian u32 signature; false on a short read.
bool zipReadSignature(qestl::qeistream* stream, uint32_t* signature);
