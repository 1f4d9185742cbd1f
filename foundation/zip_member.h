// Reading the data of one archive member, stored or deflated, and the stream
// over it.
#pragma once

#include <cstdint>
#include <zlib.h>

#include "foundation/stream.h"
#include "foundation/zip_record.h"

class ZipMemberReader {
public:
    static constexpr uint32_t kInputSize = 16384;

    ZipMemberReader();
    ~ZipMemberReader() { end(); }
    ZipMemberReader(const ZipMemberReader&) = delete;
    ZipMemberReader& operator=(const ZipMemberReader&) = delete;

    // Prepares reading `entry` (a central directory entry) from the archive
    // stream: checks its local header and that its data lies inside the
    // archive of `archiveSize` bytes, positions the stream at the data and
    // starts the inflater. False when the entry cannot be read.
    bool begin(qestl::qeistream* archive, uint64_t archiveSize, const ZipRecord& entry);
    // Ends the inflater; the reader is closed until the next begin.
    void end();
    // Frees the name and comment the reader holds.
    void clear();

    // Reads up to `count` bytes of member data: the count produced (0 at the
    // end), or kZipNotOpen, kZipUnsupportedMethod, kZipShortRead (also for
    // corrupt deflate data or data that ends before its stream does).
    int64_t read(void* destination, uint32_t count);

    const ZipRecord& record() const { return record_; }
    bool isOpen() const { return open_ != 0; }

private:
    int64_t readStored(uint8_t* destination, uint32_t count);
    int64_t readDeflated(uint8_t* destination, uint32_t count);

    ZipRecord record_;  // stream, method and sizes of the member
    z_stream inflater_;
    uint64_t consumed_ = 0;  // compressed bytes taken from the stream
    int lastResult_ = Z_OK;
    uint8_t input_[kInputSize];
    uint8_t open_ = 0;
    bool inflating_ = false;  // the inflater holds state to end
};

// The stream over one member: reads forward only, size is the member's
// uncompressed size. An archive error reads as 0 bytes; lastError says which.
class ZipStream : public qestl::qeistream {
public:
    explicit ZipStream(ZipMemberReader* reader) : reader_(reader) {}

    bool open() override { return true; }
    bool isOpen() override { return true; }
    uint32_t read(void* destination, uint32_t count) override;
    uint64_t size() override { return reader_->record().uncompressedSize; }
    bool close() override { return true; }

    int lastError() const { return lastError_; }

private:
    ZipMemberReader* reader_;
    int lastError_ = kZipOk;
};
