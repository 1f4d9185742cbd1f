// Reading the directory of a ZIP archive over any stream: the end record, the
// central directory entries in directory order and a map from entry name to
// entry. ZIP64, encryption and spanned archives are not read.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/rbtree.h"
#include "foundation/stream.h"
#include "foundation/vector.h"
#include "foundation/zip_record.h"

// Entry name (wide) to entry, in the house tree with nodes from the C heap.
// Names sort by length first, then by the bytes of their UTF-16 units; a later
// entry of the same name replaces an earlier one.
using ZipNameMap = qestl::RbMap<qestl::qestringW, ZipRecord*, qestl::LengthThenBytesLess>;

class ZipArchive {
public:
    ZipArchive() = default;
    ~ZipArchive() { close(); }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    // True when the central directory was read up to its end record. The
    // stream must stay alive while the archive and its members are used.
    bool open(qestl::qeistream* stream);
    // Exact, case-sensitive lookup; null when absent.
    ZipRecord* find(const char* name) const;
    ZipRecord* find(const qestl::qestringW& name) const;
    // Destroys the entries and empties the map.
    void close();

    const ZipRecord& endRecord() const { return end_; }
    const qestl::qevector<ZipRecord*>& entries() const { return entries_; }
    qestl::qeistream* stream() const { return end_.stream; }
    // The byte length of the archive as open measured it.
    uint64_t archiveSize() const { return archiveSize_; }

    // The stream position of the end record, or -1 when there is none.
    static int64_t findEndRecord(qestl::qeistream* stream, uint64_t size);

private:
    ZipRecord end_;
    qestl::qevector<ZipRecord*> entries_;
    ZipNameMap names_;
    uint64_t archiveSize_ = 0;
    uint8_t modified_ = 0;  // writing archives is not needed: never set
};
