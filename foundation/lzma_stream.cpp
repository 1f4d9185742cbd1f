#include "foundation/lzma_stream.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/byte_io.h"

namespace {

constexpr uint32_t kBufferSize = 65536;
constexpr uint64_t kUnknownSize = ~uint64_t{0};
// lc 3, lp 0, pb 2 packed as (pb * 5 + lp) * 9 + lc.
constexpr uint8_t kPropertiesByte = (2 * 5 + 0) * 9 + 3;

void* lzmaAlloc(void*, size_t count, size_t size) {
    if (count == 0 || size == 0) return nullptr;
    if (count > SIZE_MAX / size) return nullptr;
    return std::malloc(count * size);
}

void lzmaFree(void*, void* block) { std::free(block); }

const lzma_allocator kAllocator = {lzmaAlloc, lzmaFree, nullptr};

// Coding buffers are taken from a small cache and given back: a fresh 64 KiB
// block per call costs more than coding a short stream.
class Buffer {
public:
    Buffer() : bytes_(take()) {}
    ~Buffer() { giveBack(bytes_); }
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    uint8_t* get() { return bytes_.get(); }

private:
    static constexpr int kCached = 4;
    struct Cache {
        std::unique_ptr<uint8_t[]> blocks[kCached];
        int count = 0;
    };
    static Cache& cache() {
        thread_local Cache kept;
        return kept;
    }
    static std::unique_ptr<uint8_t[]> take() {
        Cache& kept = cache();
        if (kept.count > 0) return std::move(kept.blocks[--kept.count]);
        return std::unique_ptr<uint8_t[]>(new uint8_t[kBufferSize]);
    }
    static void giveBack(std::unique_ptr<uint8_t[]>& block) {
        Cache& kept = cache();
        if (kept.count < kCached) kept.blocks[kept.count++] = std::move(block);
    }

    std::unique_ptr<uint8_t[]> bytes_;
};

// Ends a liblzma coder on every way out, a failed initialisation included
// (ending a stream that never started is harmless); a kept coder (null
// guard) lives on for the next call.
struct CoderGuard {
    lzma_stream* stream;
    ~CoderGuard() {
        if (stream != nullptr) lzma_end(stream);
    }
};

struct OptionsFree {
    void operator()(lzma_options_lzma* options) const { lzmaFree(nullptr, options); }
};

int resultOf(lzma_ret ret) {
    switch (ret) {
        case LZMA_OK:
        case LZMA_STREAM_END: return kLzmaOk;
        case LZMA_MEM_ERROR:
        case LZMA_MEMLIMIT_ERROR: return kLzmaMemoryError;
        case LZMA_OPTIONS_ERROR:
        case LZMA_FORMAT_ERROR: return kLzmaUnsupported;
        default: return kLzmaDataError;
    }
}

bool writeAll(qestl::qeistream& output, const uint8_t* bytes, uint32_t count) {
    return count == 0 || output.write(bytes, count) == count;
}

// The encoder needs no window larger than its input; the header still names
// the full 16 MiB, which any decoder may use for a stream made with less.
uint32_t encoderDictionary(uint64_t size) {
    if (size >= kLzmaDictionarySize) return kLzmaDictionarySize;
    return size < LZMA_DICT_SIZE_MIN ? LZMA_DICT_SIZE_MIN : static_cast<uint32_t>(size);
}

}  // namespace

LzmaCoders::LzmaCoders() : encoder(LZMA_STREAM_INIT), decoder(LZMA_STREAM_INIT) {
    encoder.allocator = &kAllocator;
    decoder.allocator = &kAllocator;
}

LzmaCoders::~LzmaCoders() {
    lzma_end(&encoder);
    lzma_end(&decoder);
}

bool lzmaCompressStream(qestl::qeistream& output, qestl::qeistream& input, LzmaCoders* coders) {
    uint64_t left = input.remaining();

    lzma_options_lzma options;
    if (lzma_lzma_preset(&options, 5)) return false;
    options.dict_size = encoderDictionary(left);
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    options.mode = LZMA_MODE_NORMAL;
    options.mf = LZMA_MF_BT4;
    options.nice_len = 32;
    options.depth = 0;
    options.ext_flags = 0;  // the size is in the header: no end marker
    lzma_set_ext_size(options, left);
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &options}, {LZMA_VLI_UNKNOWN, nullptr}};

    lzma_stream own = LZMA_STREAM_INIT;
    own.allocator = &kAllocator;
    lzma_stream& encoder = coders != nullptr ? coders->encoder : own;
    CoderGuard guard{coders != nullptr ? nullptr : &own};
    if (lzma_raw_encoder(&encoder, filters) != LZMA_OK) return false;

    uint8_t header[kLzmaHeaderSize];
    header[0] = kPropertiesByte;
    qestl::storeU32LE(header + 1, kLzmaDictionarySize);
    qestl::storeU64LE(header + 5, left);
    if (!writeAll(output, header, kLzmaHeaderSize)) return false;

    Buffer in, out;
    encoder.next_out = out.get();
    encoder.avail_out = kBufferSize;
    for (;;) {
        if (encoder.avail_in == 0 && left > 0) {
            uint32_t want = left < kBufferSize ? static_cast<uint32_t>(left) : kBufferSize;
            uint32_t got = input.read(in.get(), want);
            // The input promised more than it gives: the header would lie.
            if (got == 0 || got > want) return false;
            left -= got;
            encoder.next_in = in.get();
            encoder.avail_in = got;
        }
        lzma_ret ret = lzma_code(&encoder, left == 0 && encoder.avail_in == 0 ? LZMA_FINISH : LZMA_RUN);
        if (encoder.avail_out == 0 || ret == LZMA_STREAM_END) {
            if (!writeAll(output, out.get(), kBufferSize - static_cast<uint32_t>(encoder.avail_out))) return false;
            encoder.next_out = out.get();
            encoder.avail_out = kBufferSize;
        }
        if (ret == LZMA_STREAM_END) return true;
        if (ret != LZMA_OK) return false;
    }
}

bool lzmaDecompressStream(qestl::qeistream& output, qestl::qeistream& input, LzmaCoders* coders,
                          uint64_t mostBytes) {
    uint8_t header[kLzmaHeaderSize];
    uint32_t have = 0;
    while (have < kLzmaHeaderSize) {
        uint32_t got = input.read(header + have, kLzmaHeaderSize - have);
        if (got == 0 || got > kLzmaHeaderSize - have) return false;
        have += got;
    }
    const uint64_t size = qestl::loadU64LE(header + 5);

    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1, nullptr}, {LZMA_VLI_UNKNOWN, nullptr}};
    if (lzma_properties_decode(&filters[0], &kAllocator, header, 5) != LZMA_OK) return false;
    std::unique_ptr<lzma_options_lzma, OptionsFree> options(static_cast<lzma_options_lzma*>(filters[0].options));
    // The header's dictionary decides what the stream may ask of memory...
    if (lzma_raw_decoder_memusage(filters) > kLzmaDecoderMemoryLimit) return false;
    // ...but a stream never reaches back further than the bytes it may give:
    // a short one gets a window its size (a power of two, so kept coders
    // seldom reallocate), not the header's many megabytes.
    const uint64_t most = size < mostBytes ? size : mostBytes;
    if (most != kUnknownSize) {
        uint64_t window = LZMA_DICT_SIZE_MIN;
        while (window < most && window < options->dict_size) window *= 2;
        if (window < options->dict_size) options->dict_size = static_cast<uint32_t>(window);
    }
    if (size != kUnknownSize) {
        filters[0].id = LZMA_FILTER_LZMA1EXT;
        options->ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
        lzma_set_ext_size(*options, size);
    }

    lzma_stream own = LZMA_STREAM_INIT;
    own.allocator = &kAllocator;
    lzma_stream& decoder = coders != nullptr ? coders->decoder : own;
    CoderGuard guard{coders != nullptr ? nullptr : &own};
    if (lzma_raw_decoder(&decoder, filters) != LZMA_OK) return false;
    decoder.next_in = nullptr;
    decoder.avail_in = 0;
    return lzmaDecodeLoop(decoder, input, size, output) == kLzmaOk;
}

int lzmaDecodeLoop(lzma_stream& decoder, qestl::qeistream& input, uint64_t size, qestl::qeistream& output) {
    Buffer in, out;
    bool inputEnded = false;
    uint64_t left = size;
    for (;;) {
        if (decoder.avail_in == 0 && !inputEnded) {
            uint32_t got = input.read(in.get(), kBufferSize);
            if (got == 0 || got > kBufferSize) {
                inputEnded = true;
            } else {
                decoder.next_in = in.get();
                decoder.avail_in = got;
            }
        }
        size_t inputBefore = decoder.avail_in;
        uint32_t room = kBufferSize;
        if (size != kUnknownSize && left < room) room = static_cast<uint32_t>(left);
        decoder.next_out = out.get();
        decoder.avail_out = room;
        lzma_ret ret = lzma_code(&decoder, inputEnded ? LZMA_FINISH : LZMA_RUN);
        uint32_t produced = room - static_cast<uint32_t>(decoder.avail_out);
        if (!writeAll(output, out.get(), produced)) return kLzmaWriteError;
        if (size != kUnknownSize) left -= produced;
        if (ret == LZMA_STREAM_END) return kLzmaOk;
        if (ret != LZMA_OK) return resultOf(ret) == kLzmaOk ? kLzmaDataError : resultOf(ret);
        // With a known size the stream is complete once every byte came out,
        // whether or not an end marker follows.
        if (size != kUnknownSize && left == 0) return kLzmaOk;
        if (produced == 0 && decoder.avail_in == inputBefore && inputEnded) return kLzmaDataError;
    }
}
