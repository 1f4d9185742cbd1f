#include "image/compressed_image.h"

#include <algorithm>

#include "codegen/image_parts.h"
#include "foundation/byte_io.h"
#include "foundation/lzma_stream.h"

namespace {

// Takes at most `limit` bytes; a write beyond it is refused whole, which
// stops the decoder with a write error.
class CappedByteStream : public qestl::qeByteStream {
public:
    explicit CappedByteStream(qestl::qeByteStream& target, uint64_t limit) : target_(target), limit_(limit) {}
    uint32_t write(const void* source, uint32_t count) override {
        if (count > limit_ - taken_) return 0;
        taken_ += count;
        return target_.write(source, count);
    }

private:
    qestl::qeByteStream& target_;
    uint64_t limit_;
    uint64_t taken_ = 0;
};

constexpr uint64_t kLargestPackingRatio = 128;

// What the head says of itself: the magic and format version (a library, an
// executable or any other file is no image), and an end address that leaves
// room for the section values and lies within reason.
bool headIsSound(const uint8_t* bytes, uint64_t size) {
    if (size < kImageHeadBytes || qestl::loadU32LE(bytes) != kImageMagic ||
        qestl::loadU32LE(bytes + kImageVersionAt) != kImageFormatVersion)
        return false;
    const uint64_t end = qestl::loadU64LE(bytes + kImageEndAt);
    return end >= kImageBodyStart && end <= kImageLargestEnd;
}

// The section values follow the head in every image and ascend, as the
// writer places the sections one after another, within the body up to the
// end address. A body cut short after them is still listed as far as it
// goes.
bool sectionsAreSound(const uint8_t* image, uint64_t size, uint64_t end) {
    if (size < kImageBodyStart) return false;
    uint64_t previous = kImageBodyStart;
    for (int i = 0; i < codegen::kImageSections; ++i) {
        const uint64_t section = qestl::loadU64LE(image + kImageSectionsAt + 8 * uint64_t(i));
        if (section < previous || section > end) return false;
        previous = section;
    }
    return true;
}

}  // namespace

bool compressProgramImage(qestl::qeByteStream& image, const qestl::ByteVector& iconBytes) {
    if (image.size() < kImageHeadBytes) return false;
    qestl::qeByteStream body;
    if (!body.appendBytes(image.data(), image.size())) return false;
    image.close();
    if (image.write(body.data(), kImageHeadBytes) != kImageHeadBytes) return false;
    if (!iconBytes.empty() && !image.appendBytes(iconBytes.data(), iconBytes.size())) return false;
    body.seek(qestl::kSeekBegin, kImageHeadBytes);
    return lzmaCompressStream(image, body);
}

bool restoreProgramImage(const uint8_t* bytes, uint64_t size, qestl::qeByteStream& out) {
    out.close();
    if (!headIsSound(bytes, size)) return false;
    const uint64_t end = qestl::loadU64LE(bytes + kImageEndAt);
    if ((qestl::loadU64LE(bytes + kImageOptionsAt) & kImageCompressedFlag) == 0) {
        out.borrow(bytes, size);
        return sectionsAreSound(out.data(), out.size(), end);
    }
    const uint64_t rawBlock = qestl::loadU64LE(bytes + kImageRawBlockAt);
    if (rawBlock > size - kImageHeadBytes) return false;
    const uint64_t packedBytes = size - kImageHeadBytes - rawBlock;
    qestl::qeByteStream packed(bytes + kImageHeadBytes + rawBlock, packedBytes);
    // The end address alone would let a few hundred KiB of packed zeros
    // decode to a gigabyte; the writer's images pack to a fifth or a
    // twentieth, so a body many times larger than that is refused.
    const uint64_t body = std::min(end - kImageHeadBytes, packedBytes * kLargestPackingRatio);
    // Room for the whole body first: grown as it decodes, a large body was
    // held twice while it moved.
    out.expectSize(kImageHeadBytes + body);
    if (!out.appendBytes(bytes, kImageHeadBytes)) return false;
    CappedByteStream capped(out, body);
    return lzmaDecompressStream(capped, packed, nullptr, body) && sectionsAreSound(out.data(), out.size(), end);
}
