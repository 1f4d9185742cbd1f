#include "foundation/stream.h"

#include <cstdlib>
#include <cstring>

namespace qestl {

uint32_t qeistream::read(void*, uint32_t) { return 0; }
uint32_t qeistream::write(const void*, uint32_t) { return 0; }
bool qeistream::writeAt(uint64_t, const void*, uint32_t) { return false; }
uint64_t qeistream::seek(uint32_t, int64_t) { return 0; }

qeByteStream::qeByteStream(const void* data, uint64_t size) { borrow(data, size); }

qeByteStream::~qeByteStream() { close(); }

void qeByteStream::borrow(const void* data, uint64_t size) {
    close();
    // Never written through: appends copy the bytes out first.
    data_ = static_cast<uint8_t*>(const_cast<void*>(data));
    size_ = size;
    capacity_ = size;
    borrowed_ = 1;
}

bool qeByteStream::open() {
    if (source_ != nullptr) {
        qeistream* source = source_;
        uint8_t piece[64];
        for (;;) {
            uint32_t got = source->read(piece, sizeof piece);
            if (got == 0 || got > sizeof piece) break;
            if (!appendBytes(piece, got)) break;
        }
        source_ = nullptr;
    }
    return true;
}

uint64_t qeByteStream::remaining() {
    uint64_t end = size();
    uint64_t at = tell();
    return at < end ? end - at : 0;
}

uint32_t qeByteStream::read(void* destination, uint32_t count) {
    // Measured on the buffer itself, whatever a subclass reports.
    uint64_t available = position_ < size_ ? size_ - position_ : 0;
    uint32_t take = available < count ? static_cast<uint32_t>(available) : count;
    if (take == 0) return 0;
    std::memcpy(destination, data_ + position_, take);
    position_ += take;
    return take;
}

uint32_t qeByteStream::write(const void* source, uint32_t count) {
    return appendBytes(source, count) ? count : 0;
}

bool qeByteStream::appendBytes(const void* bytes, uint64_t count) {
    if (count == 0) return true;
    // Growth doubles the size: refuse what could not be doubled.
    constexpr uint64_t kLimit = UINT64_MAX / 4;
    if (size_ > kLimit || count > kLimit - size_) return false;
    if (isBorrowed() || size_ + count > capacity_) {
        uint64_t grown = size_ * 2 + count;
        auto* fresh = static_cast<uint8_t*>(std::malloc(grown));
        if (fresh == nullptr) return false;
        if (size_ != 0) std::memcpy(fresh, data_, size_);
        // The source may lie inside the old buffer: copy before freeing it.
        const auto* from = static_cast<const uint8_t*>(bytes);
        if (data_ != nullptr && from >= data_ && from < data_ + size_) from = fresh + (from - data_);
        std::memcpy(fresh + size_, from, count);
        if (!isBorrowed()) std::free(data_);
        data_ = fresh;
        capacity_ = grown;
        borrowed_ = 0;
    } else {
        std::memmove(data_ + size_, bytes, count);
    }
    size_ += count;
    return true;
}

void qeByteStream::expectSize(uint64_t total) {
    constexpr uint64_t kLimit = UINT64_MAX / 4;
    if (isBorrowed() || total > kLimit || total * 2 <= capacity_) return;
    auto* fresh = static_cast<uint8_t*>(std::malloc(total * 2));
    if (fresh == nullptr) return;  // the appends grow it as before
    if (size_ != 0) std::memcpy(fresh, data_, size_);
    std::free(data_);
    data_ = fresh;
    capacity_ = total * 2;
}

bool writeInPieces(qeistream& out, const void* data, uint64_t size) {
    const auto* bytes = static_cast<const uint8_t*>(data);
    while (size > 0) {
        const uint32_t piece = size > 0x40000000u ? 0x40000000u : static_cast<uint32_t>(size);
        if (out.write(bytes, piece) != piece) return false;
        bytes += piece;
        size -= piece;
    }
    return true;
}

bool qeByteStream::writeAt(uint64_t position, const void* source, uint32_t count) {
    if (isBorrowed() || position > size_ || count > size_ - position) return false;
    if (count != 0) std::memcpy(data_ + position, source, count);
    return true;
}

uint64_t qeByteStream::seek(uint32_t origin, int64_t offset) {
    switch (origin) {
        case kSeekBegin: position_ = static_cast<uint64_t>(offset); break;
        case kSeekCurrent: position_ += static_cast<uint64_t>(offset); break;
        case kSeekEnd: position_ = size() - static_cast<uint64_t>(offset); break;
        default: break;
    }
    return position_;
}

void qeByteStream::clearKeepingBuffer() {
    if (isBorrowed() || source_ != nullptr) {
        close();
        return;
    }
    size_ = 0;
    position_ = 0;
}

bool qeByteStream::close() {
    if (!isBorrowed()) std::free(data_);
    data_ = nullptr;
    size_ = 0;
    capacity_ = 0;
    source_ = nullptr;
    borrowed_ = 0;
    return true;
}

uint32_t qeZStream::read(void* destination, uint32_t count) {
    return wrapped_ != nullptr ? wrapped_->read(destination, count) : 0;
}

uint32_t qeZStream::write(const void* source, uint32_t count) {
    if (wrapped_ == nullptr) return 0;
    uint32_t written = wrapped_->write(source, count);
    count_ += written;
    return written;
}

}  // namespace qestl

bool callStreamClose(qestl::qeistream* stream) { return stream != nullptr && stream->close(); }
