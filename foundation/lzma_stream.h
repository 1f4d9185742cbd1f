// The classic LZMA container over byte streams: a 13-byte header (one lc/lp/pb
// byte, the dictionary size as u32, the uncompressed size as u64, all ones
// when unknown) followed by the raw LZMA stream. liblzma does the coding.
#pragma once

#include <cstdint>
#include <lzma.h>

#include "foundation/stream.h"

// Result codes of the decode loop (0 is success).
enum LzmaResult : int {
    kLzmaOk = 0,
    kLzmaDataError = 1,    // corrupt or truncated stream
    kLzmaMemoryError = 2,  // allocation failed or the header asks too much
    kLzmaUnsupported = 4,  // properties the decoder does not accept
    kLzmaWriteError = 9,   // the output stream took fewer bytes than given
};

// Header bytes and limits of the container we write.
inline constexpr uint32_t kLzmaHeaderSize = 13;
inline constexpr uint32_t kLzmaDictionarySize = 1u << 24;  // 16 MiB, as level 5
// A header may name any dictionary up to 4 GiB; a decoder never takes more
// memory than this, so a hostile header cannot make us allocate gigabytes.
inline constexpr uint64_t kLzmaDecoderMemoryLimit = uint64_t{128} << 20;

// Coders kept from one call to the next: started again on the same stream,
// liblzma reuses the memory of a coder of the same kind, so a caller that
// codes many small streams (a fuzzer) skips the setup each time.
struct LzmaCoders {
    LzmaCoders();
    ~LzmaCoders();
    LzmaCoders(const LzmaCoders&) = delete;
    LzmaCoders& operator=(const LzmaCoders&) = delete;

    lzma_stream encoder;
    lzma_stream decoder;
};

// Compresses everything that remains in `input` (its size minus its position,
// taken before anything is read) into `output`: header with that size, then
// the stream without an end marker. False on any failure; what was written
// stays written.
bool lzmaCompressStream(qestl::qeistream& output, qestl::qeistream& input, LzmaCoders* coders = nullptr);

// Decompresses one container from `input`, appending the bytes to `output`.
// True when the whole stream decoded: its known size was reached, or, for an
// unknown size, its end marker. A caller whose output refuses more than
// `mostBytes` says so, and the decoder's window is then no larger.
bool lzmaDecompressStream(qestl::qeistream& output, qestl::qeistream& input, LzmaCoders* coders = nullptr,
                          uint64_t mostBytes = UINT64_MAX);

// Runs a started decoder over `input` until the stream ends, writing every
// decoded piece to `output` through 64 KiB buffers. Bytes already waiting in
// the decoder's input (the header) are decoded first. Returns an LzmaResult.
int lzmaDecodeLoop(lzma_stream& decoder, qestl::qeistream& input, uint64_t size, qestl::qeistream& output);
