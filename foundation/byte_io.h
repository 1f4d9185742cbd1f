// Fixed-width fields of the binary formats we read and write (ZIP, images,
// libraries, executables). Every read is checked against the bytes there are:
// a reader that runs short stays failed and yields zeros, so a caller can read
// a whole header and test ok() once.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/vector.h"

namespace qestl {

// Loads and stores at a known-good address.
inline uint16_t loadU16LE(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t loadU32LE(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
inline uint64_t loadU64LE(const uint8_t* p) {
    return static_cast<uint64_t>(loadU32LE(p)) | (static_cast<uint64_t>(loadU32LE(p + 4)) << 32);
}
inline uint16_t loadU16BE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint32_t loadU32BE(const uint8_t* p) {
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t loadU64BE(const uint8_t* p) {
    return (static_cast<uint64_t>(loadU32BE(p)) << 32) | static_cast<uint64_t>(loadU32BE(p + 4));
}

inline void storeU16LE(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
// On a little-endian host the bytes are the value's own: one store, where
// the compiler does not always merge the byte stores (a writer emits
// millions of fields).
inline void storeU32LE(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
    } else {
        for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void storeU64LE(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(p, &v, sizeof v);
    } else {
        for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    }
}
inline void storeU16BE(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}
inline void storeU32BE(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (3 - i)));
}
inline void storeU64BE(uint8_t* p, uint64_t v) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * (7 - i)));
}

// A cursor over borrowed bytes. Field order is the caller's; the byte order
// is chosen per read, or once through the *Of helpers for formats that carry
// their own (ELF's EI_DATA, Mach-O's magic).
class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, size_t size) : data_(data), size_(size) {}

    bool ok() const { return !failed_; }
    size_t position() const { return position_; }
    size_t size() const { return size_; }
    size_t remaining() const { return size_ - position_; }
    const uint8_t* data() const { return data_; }

    // Moves to an absolute position; past the end fails.
    bool seek(size_t position) {
        if (position > size_) return fail();
        position_ = position;
        return true;
    }
    bool skip(size_t count) {
        if (count > remaining()) return fail();
        position_ += count;
        return true;
    }
    // The next count bytes, or null (and failed) when fewer are left.
    const uint8_t* take(size_t count) {
        if (count > remaining()) {
            fail();
            return nullptr;
        }
        const uint8_t* at = data_ + position_;
        position_ += count;
        return at;
    }
    bool copyTo(void* into, size_t count) {
        const uint8_t* at = take(count);
        if (at == nullptr) return false;
        if (count != 0) std::memcpy(into, at, count);
        return true;
    }
    // A count about to size something: refused (failed) when more than the
    // bytes left could hold at unitSize bytes per item.
    bool fitsRemaining(uint64_t count, size_t unitSize) {
        if (unitSize != 0 && count > remaining() / unitSize) return fail();
        return true;
    }

    uint8_t u8() {
        const uint8_t* at = take(1);
        return at ? at[0] : 0;
    }
    uint16_t u16le() { return field<uint16_t, 2>(loadU16LE); }
    uint32_t u32le() { return field<uint32_t, 4>(loadU32LE); }
    uint64_t u64le() { return field<uint64_t, 8>(loadU64LE); }
    uint16_t u16be() { return field<uint16_t, 2>(loadU16BE); }
    uint32_t u32be() { return field<uint32_t, 4>(loadU32BE); }
    uint64_t u64be() { return field<uint64_t, 8>(loadU64BE); }
    // The same as a test: the field into `value`, false once the reader failed.
    bool u32le(uint32_t& value) {
        value = u32le();
        return ok();
    }
    uint16_t u16(bool bigEndian) { return bigEndian ? u16be() : u16le(); }
    uint32_t u32(bool bigEndian) { return bigEndian ? u32be() : u32le(); }
    uint64_t u64(bool bigEndian) { return bigEndian ? u64be() : u64le(); }

    // A field at an absolute position, for formats that point at their own
    // headers (executables): the cursor ends behind the field. Past the end
    // fails and yields zero, like the sequential reads.
    uint8_t u8At(size_t at) { return seek(at) ? u8() : 0; }
    uint16_t u16At(size_t at, bool bigEndian = false) { return seek(at) ? u16(bigEndian) : 0; }
    uint32_t u32At(size_t at, bool bigEndian = false) { return seek(at) ? u32(bigEndian) : 0; }
    uint64_t u64At(size_t at, bool bigEndian = false) { return seek(at) ? u64(bigEndian) : 0; }
    // True when [at, at + count) lies inside the bytes (no overflow).
    bool holds(uint64_t at, uint64_t count) const { return at <= size_ && count <= size_ - at; }

private:
    template <typename T, size_t N>
    T field(T (*load)(const uint8_t*)) {
        const uint8_t* at = take(N);
        return at ? load(at) : T{0};
    }
    bool fail() {
        failed_ = true;
        return false;
    }

    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    size_t position_ = 0;
    bool failed_ = false;
};

// Where a writer that spills hands the bytes it has buffered.
class ByteSink {
public:
    virtual void take(const uint8_t* data, size_t count) = 0;
    // The same for a writer's whole buffer, left empty: a sink that keeps
    // what it is given may swap the buffer for one of its own rather than
    // copy the bytes.
    virtual void takeBuffer(ByteVector& bytes) {
        take(bytes.data(), bytes.size());
        bytes.reset(0);
    }

protected:
    ~ByteSink() = default;
};

// Appends fields to a byte vector; patchU32LE and friends rewrite a field
// already written (sizes and offsets known only later). A writer told to
// spill hands its buffer to a sink whenever it holds `threshold` bytes, so
// that a large output never sits in memory whole; positions still count from
// the first byte, and what was spilled can no longer be patched.
class ByteWriter {
public:
    explicit ByteWriter(ByteVector& out) : out_(out) {}

    size_t position() const { return spilled_ + out_.size(); }
    ByteVector& bytes() { return out_; }

    void spillTo(ByteSink* sink, size_t threshold) {
        sink_ = sink;
        limit_ = sink != nullptr && threshold != 0 ? threshold : SIZE_MAX;
    }
    // Hands what is buffered to the sink now.
    void spill() {
        if (sink_ == nullptr || out_.size() == 0) return;
        spilled_ += out_.size();
        sink_->takeBuffer(out_);  // a buffer stays for the next bytes
    }

    void u8(uint8_t v) {
        out_.pushBack(v);
        check();
    }
    void u16le(uint16_t v) { put<2>(storeU16LE, v); }
    void u32le(uint32_t v) { put<4>(storeU32LE, v); }
    void u64le(uint64_t v) { put<8>(storeU64LE, v); }
    void u16be(uint16_t v) { put<2>(storeU16BE, v); }
    void u32be(uint32_t v) { put<4>(storeU32BE, v); }
    void u64be(uint64_t v) { put<8>(storeU64BE, v); }
    void u16(uint16_t v, bool bigEndian) { bigEndian ? u16be(v) : u16le(v); }
    void u32(uint32_t v, bool bigEndian) { bigEndian ? u32be(v) : u32le(v); }
    void u64(uint64_t v, bool bigEndian) { bigEndian ? u64be(v) : u64le(v); }
    void bytes(const void* data, size_t count) {
        // A block as large as the buffer goes to the sink as it is.
        if (count >= limit_) {
            spill();
            sink_->take(static_cast<const uint8_t*>(data), count);
            spilled_ += count;
            return;
        }
        out_.append(static_cast<const uint8_t*>(data), count);
        check();
    }
    // `count` bytes that make(uint8_t* at) writes in place: a record made
    // whole at once, neither copied nor checked field by field.
    template <typename Make>
    void made(size_t count, Make&& make) {
        make(out_.appendSpace(count));
        check();
    }
    void zeros(size_t count) {
        // A resize to the same count gives the buffer back at exactly that
        // size: a record that fills its table entry would copy all of it.
        if (count == 0) return;
        out_.resize(out_.size() + count);
        check();
    }
    // Zero bytes up to the next multiple of alignment (a power of two or not).
    void padTo(size_t alignment) {
        if (alignment > 1 && position() % alignment != 0) zeros(alignment - position() % alignment);
    }

    // Rewrites a field inside what was written and is still buffered; false
    // when it would not fit.
    bool patchU8(size_t at, uint8_t v) {
        if (at < spilled_ || at - spilled_ >= out_.size()) return false;
        out_[at - spilled_] = v;
        return true;
    }
    bool patchU16(size_t at, uint16_t v, bool bigEndian = false) {
        return patch<2>(bigEndian ? storeU16BE : storeU16LE, at, v);
    }
    bool patchU32LE(size_t at, uint32_t v) { return patch<4>(storeU32LE, at, v); }
    bool patchU64LE(size_t at, uint64_t v) { return patch<8>(storeU64LE, at, v); }
    bool patchU32(size_t at, uint32_t v, bool bigEndian) {
        return patch<4>(bigEndian ? storeU32BE : storeU32LE, at, v);
    }
    bool patchU64(size_t at, uint64_t v, bool bigEndian) {
        return patch<8>(bigEndian ? storeU64BE : storeU64LE, at, v);
    }

private:
    void check() {
        if (out_.size() >= limit_) spill();
    }
    template <size_t N, typename T>
    void put(void (*store)(uint8_t*, T), T v) {
        uint8_t field[N];
        store(field, v);
        out_.append(field, N);
        check();
    }
    template <size_t N, typename T>
    bool patch(void (*store)(uint8_t*, T), size_t at, T v) {
        if (at < spilled_) return false;
        at -= spilled_;
        if (at > out_.size() || N > out_.size() - at) return false;
        store(out_.data() + at, v);
        return true;
    }

    ByteVector& out_;
    ByteSink* sink_ = nullptr;
    size_t limit_ = SIZE_MAX;
    size_t spilled_ = 0;
};

}  // namespace qestl
