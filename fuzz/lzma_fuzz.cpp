// Any bytes as an LZMA container, and any bytes through a round trip.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "foundation/lzma_stream.h"

namespace {

// Refuses to grow past a bound, so a tiny stream cannot claim gigabytes; the
// decoder is told, so its window is no larger either.
constexpr uint64_t kMostDecoded = uint64_t{256} << 10;
class BoundedOutput : public qestl::qeByteStream {
public:
    uint32_t write(const void* source, uint32_t count) override {
        if (size() + count > kMostDecoded) return 0;
        return qestl::qeByteStream::write(source, count);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Set up once for the run: the coders' setup costs more than coding a
    // fuzzer's input.
    static LzmaCoders coders;
    {
        qestl::qeByteStream input(data, size);
        BoundedOutput output;
        lzmaDecompressStream(output, input, &coders, kMostDecoded);
    }
    qestl::qeByteStream input(data, size), packed, unpacked;
    if (!lzmaCompressStream(packed, input, &coders)) __builtin_trap();
    if (!lzmaDecompressStream(unpacked, packed, &coders)) __builtin_trap();
    if (unpacked.size() != size || (size != 0 && std::memcmp(unpacked.data(), data, size) != 0)) __builtin_trap();
    return 0;
}
