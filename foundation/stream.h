// The byte-stream interface every reader and writer of a format works on, its
// in-memory implementation and the counting wrapper.
#pragma once

#include <cstdint>

namespace qestl {

// Origins of `seek`: from the start, from the current position, from the end.
enum : uint32_t { kSeekBegin = 0, kSeekCurrent = 1, kSeekEnd = 2 };

// Failures are results: a count of 0 or a short count, false from open and
// close. Byte counts are 32-bit; positions and sizes 64-bit.
class qeistream {
public:
    virtual ~qeistream() = default;
    virtual bool open() { return false; }
    virtual bool isOpen() { return false; }
    virtual uint32_t read(void* destination, uint32_t count);
    virtual uint32_t write(const void* source, uint32_t count);
    virtual uint64_t seek(uint32_t origin, int64_t offset);
    virtual uint64_t tell() { return 0; }
    virtual uint64_t size() { return 0; }
    virtual uint64_t remaining() { return 0; }
    virtual bool close() { return false; }
    // The end of use: file streams close their file here.
    virtual void finish() {}
    // Hands buffered bytes on; the base buffers nothing.
    virtual void flush() {}
    // A hint: the output will hold `total` bytes in all once written.
    virtual void expectSize(uint64_t /*total*/) {}
    // Writes count bytes at an absolute position of the output without
    // moving the position `write` appends at; ranges that do not overlap
    // may be written from several threads at once. Only streams that say
    // so through `writesAtPositions` take such writes. False when the bytes
    // were refused (a stream may instead keep the failure for later).
    virtual bool writesAtPositions() { return false; }
    virtual bool writeAt(uint64_t position, const void* source, uint32_t count);
    // True when `writeAt` can rewrite bytes already written (a header that
    // is completed last). Streams that take writes at positions can.
    virtual bool patchesWritten() { return writesAtPositions(); }
};

// Writes `size` bytes in pieces a single `write` takes; false at the first
// piece the stream did not take whole.
bool writeInPieces(qeistream& out, const void* data, uint64_t size);

// A growable memory buffer, owned or borrowed. `write` always appends at the
// end, whatever the position; `read` reads from the position. A buffer that
// belongs to somebody else is never written to nor freed: the first append
// copies it into a buffer of our own.
class qeByteStream : public qeistream {
public:
    qeByteStream() = default;
    // A stream over stored bytes, borrowed: read back, never freed.
    qeByteStream(const void* data, uint64_t size);
    // A stream that slurps `source` on `open`.
    explicit qeByteStream(qeistream* source) : source_(source) {}
    ~qeByteStream() override;
    qeByteStream(const qeByteStream&) = delete;
    qeByteStream& operator=(const qeByteStream&) = delete;

    bool open() override;
    bool isOpen() override { return source_ == nullptr; }
    uint32_t read(void* destination, uint32_t count) override;
    uint32_t write(const void* source, uint32_t count) override;
    // No bounds check: a position past the end leaves nothing to read.
    // From the end (origin 2) the offset counts backwards: size - offset.
    uint64_t seek(uint32_t origin, int64_t offset) override;
    uint64_t tell() override { return position_; }
    uint64_t size() override { return size_; }
    uint64_t remaining() override;
    bool close() override;

    // Replaces the contents by borrowed bytes (the previous buffer is closed).
    void borrow(const void* data, uint64_t size);
    // Appends at the end of the buffer; `bytes` may point into the buffer.
    bool appendBytes(const void* bytes, uint64_t count);
    // Drops the bytes; an owned buffer stays for the next ones, so that a
    // process writing one output after another allocates it once.
    void clearKeepingBuffer();

    // Room for `total` bytes and as many again set aside at once: a large
    // output grown by doubling would be copied whole several times. Room
    // never written costs no memory.
    void expectSize(uint64_t total) override;

    // Rewrites bytes already in the buffer (never beyond its end).
    bool patchesWritten() override { return true; }
    bool writeAt(uint64_t position, const void* source, uint32_t count) override;

    const uint8_t* data() const { return data_; }
    bool isBorrowed() const { return borrowed_ != 0 || capacity_ == kBorrowedCapacity; }

    static constexpr uint64_t kBorrowedCapacity = ~uint64_t{0};

private:
    uint8_t* data_ = nullptr;
    uint64_t size_ = 0;
    uint64_t capacity_ = 0;
    uint64_t position_ = 0;
    qeistream* source_ = nullptr;
    uint8_t borrowed_ = 0;
};

// Forwards to another stream and counts the bytes written through it; `tell`
// and `size` report that count.
class qeZStream : public qeistream {
public:
    explicit qeZStream(qeistream* wrapped = nullptr) : wrapped_(wrapped) {}

    bool isOpen() override { return wrapped_ != nullptr && wrapped_->isOpen(); }
    uint32_t read(void* destination, uint32_t count) override;
    uint32_t write(const void* source, uint32_t count) override;
    uint64_t tell() override { return count_; }
    uint64_t size() override { return count_; }
    bool close() override { return wrapped_ != nullptr && wrapped_->close(); }

    void setTarget(qeistream* wrapped) { wrapped_ = wrapped; }
    qeistream* target() const { return wrapped_; }

private:
    qeistream* wrapped_ = nullptr;
    uint64_t count_ = 0;
};

}  // namespace qestl

// Closes any stream through its interface and passes the result on.
bool callStreamClose(qestl::qeistream* stream);
