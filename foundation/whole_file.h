// Files read whole and outputs written whole or not at all.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "foundation/vector.h"
#include "platform/output_file.h"

enum class WholeRead : uint8_t { Read, Unopened, Failed, TooLarge };

inline constexpr uint64_t kNoSizeLimit = ~uint64_t{0};
inline constexpr uint32_t kReadPiece = 1u << 16;

// Reads a regular file to its end, whatever its size said when opened (a file
// may grow or shrink meanwhile, and some report no size at all), in reads of
// at most `piece` bytes. A file of more than `limit` bytes is TooLarge and a
// read that fails part way is Failed: either way `bytes` is left empty, so
// that no caller goes on with part of a file. After Unopened or Failed, errno
// holds the system's reason.
WholeRead readFileWhole(const qestl::qestringW& path, qestl::ByteVector& bytes, uint64_t limit = kNoSizeLimit,
                        uint32_t piece = kReadPiece);

// Reads a whole regular file into `bytes`; false when it cannot be opened or
// read.
bool readWholeFile(const qestl::qestringW& path, qestl::ByteVector& bytes);

// A stream for a writer that produces an output piece by piece. Nothing
// reaches the target until `commit`: the bytes go to a temporary beside it
// (see platform/output_file.h).
// Writes are buffered and never fail on their own: the first failure, the
// opening included, is kept and reported by `commit`, so a writer runs to its
// end and its messages come out as they would for a file that worked.
class WholeFileWriter : public qestl::qeistream {
public:
    explicit WholeFileWriter(const qestl::qestringW& path, uint32_t mode = platform::kPlainFileMode);
    // An uncommitted output is abandoned: the target stays as it was.
    ~WholeFileWriter() override;
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    // Opens the output now; writes open it when it is not yet. False when it
    // cannot be opened.
    bool open() override;
    bool isOpen() override { return output_.file != nullptr; }
    uint32_t write(const void* source, uint32_t count) override;
    uint64_t tell() override { return written_; }
    uint64_t size() override { return written_; }
    // Hands the buffered bytes to the file.
    void flush() override { drain(); }
    // A temporary sets its disk room aside at once: writing a large output
    // into room already allocated costs the kernel about half as much.
    void expectSize(uint64_t total) override;
    // An opened output takes writes at positions. Those bytes are the caller's to account for: they
    // move neither `tell` nor `size`. Like `write`, they never fail on their
    // own: a failure is kept for `commit`.
    bool writesAtPositions() override;
    bool writeAt(uint64_t position, const void* source, uint32_t count) override;
    // True when every byte was written and the file is in place.
    bool commit();

private:
    bool drain();

    qestl::qestringA target_;
    uint32_t mode_;
    platform::PendingOutput output_;
    uint8_t* buffer_ = nullptr;
    uint32_t buffered_ = 0;
    uint64_t written_ = 0;
    bool opened_ = false;
    bool failed_ = false;
    std::atomic<bool> failedAtPosition_{false};  // written from several threads
};

// Writes the bytes as the whole new content of `path`, or leaves the path as
// it was.
bool writeFileWhole(const qestl::qestringW& path, const uint8_t* bytes, uint64_t size,
                    uint32_t mode = platform::kPlainFileMode);
