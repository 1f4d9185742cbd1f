#include "foundation/whole_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/file.h"

namespace {

constexpr uint32_t kBufferSize = 1u << 16;
// A piece this large saves little by waiting in the buffer: its copy costs
// about what the write it spares, and touches the buffer's pages.
constexpr uint32_t kDirectBytes = kBufferSize / 4;

}  // namespace

WholeRead readFileWhole(const qestl::qestringW& path, qestl::ByteVector& bytes, uint64_t limit, uint32_t piece) {
    bytes.clear();
    const qestl::qestringA hostPath = qestl::narrow(path);
    platform::FileHandle file = platform::fileOpenRead(hostPath.c_str() != nullptr ? hostPath.c_str() : "");
    if (file == nullptr) return WholeRead::Unopened;
    if (piece == 0 || piece > kReadPiece) piece = kReadPiece;
    uint64_t measured = 0;
    if (!platform::fileSize(file, &measured)) measured = 0;
    WholeRead result = WholeRead::Read;
    int reason = 0;
    if (measured > limit) {
        result = WholeRead::TooLarge;
    } else {
        // The size is a hint for one allocation (and a byte to spare, for the
        // read that meets the end and for a terminator), never a bound.
        bytes.reserve(static_cast<size_t>(measured) + 1);
        uint8_t chunk[kReadPiece];
        for (;;) {
            uint32_t got = 0;
            if (!platform::fileRead(file, chunk, piece, &got)) {
                result = WholeRead::Failed;
                reason = errno;
                break;
            }
            if (got > limit - bytes.size()) {
                result = WholeRead::TooLarge;
                break;
            }
            bytes.append(chunk, got);
            if (got < piece) break;  // a short read is the end: fileRead retries the others
        }
    }
    platform::fileClose(file);
    if (result != WholeRead::Read) bytes.release();
    if (result == WholeRead::Failed) errno = reason;
    return result;
}

bool readWholeFile(const qestl::qestringW& path, qestl::ByteVector& bytes) {
    return readFileWhole(path, bytes) == WholeRead::Read;
}

WholeFileWriter::WholeFileWriter(const qestl::qestringW& path, uint32_t mode)
    : target_(qestl::narrow(path)), mode_(mode) {}

WholeFileWriter::~WholeFileWriter() {
    platform::outputAbandon(output_);
    std::free(buffer_);
}

bool WholeFileWriter::open() {
    if (opened_) return !failed_;
    opened_ = true;
    buffer_ = static_cast<uint8_t*>(std::malloc(kBufferSize));
    failed_ = buffer_ == nullptr || !platform::outputBegin(target_.c_str() != nullptr ? target_.c_str() : "", mode_,
                                                          output_);
    return !failed_;
}

bool WholeFileWriter::drain() {
    uint32_t done = 0;
    if (!failed_ && buffered_ > 0 && !platform::fileWrite(output_.file, buffer_, buffered_, &done)) failed_ = true;
    buffered_ = 0;
    return !failed_;
}

uint32_t WholeFileWriter::write(const void* source, uint32_t count) {
    if (!opened_) open();
    written_ += count;
    // A large piece goes straight to the file, behind what is buffered.
    if (count >= kDirectBytes) {
        uint32_t done = 0;
        if (drain() && !platform::fileWrite(output_.file, source, count, &done)) failed_ = true;
        return count;
    }
    const uint8_t* bytes = static_cast<const uint8_t*>(source);
    uint32_t left = count;
    while (left > 0 && !failed_) {
        if (buffered_ == kBufferSize && !drain()) break;
        const uint32_t piece = left < kBufferSize - buffered_ ? left : kBufferSize - buffered_;
        std::memcpy(buffer_ + buffered_, bytes, piece);
        buffered_ += piece;
        bytes += piece;
        left -= piece;
    }
    return count;
}

void WholeFileWriter::expectSize(uint64_t total) {
    if (!opened_) open();
    if (!failed_ && output_.file != nullptr) platform::fileReserve(output_.file, 0, total);
}

bool WholeFileWriter::writesAtPositions() {
    if (!opened_) open();
    return !failed_ && output_.file != nullptr;
}

bool WholeFileWriter::writeAt(uint64_t position, const void* source, uint32_t count) {
    if (!platform::fileWriteAt(output_.file, source, count, position)) failedAtPosition_.store(true);
    return true;
}

bool WholeFileWriter::commit() {
    if (!opened_) open();  // an empty output is still a file
    if (failed_ || failedAtPosition_.load() || !drain()) {
        platform::outputAbandon(output_);
        return false;
    }
    return platform::outputCommit(output_, target_.c_str());
}

bool writeFileWhole(const qestl::qestringW& path, const uint8_t* bytes, uint64_t size, uint32_t mode) {
    WholeFileWriter file(path, mode);
    if (!file.open()) return false;
    qestl::writeInPieces(file, bytes, size);  // a failure is kept for the commit
    return file.commit();
}
