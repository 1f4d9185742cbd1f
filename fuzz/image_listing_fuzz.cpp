// Any bytes as a program image to list, plain or compressed; the replayed
// seeds are also listed cut short and with one bit flipped, so the damaged
// forms of every seed run too. Listing never reads outside the image.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "image/listing.h"

namespace {

void listOnce(const uint8_t* data, size_t size) {
    qestl::qeByteStream text;
    disassemble(data, size, text);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    listOnce(data, size);
#ifndef KORVO_LIBFUZZER
    // The fuzzer makes damaged forms of its own; only the replay needs them.
    if (size < 2) return 0;
    std::vector<uint8_t> copy(data, data + size);
    listOnce(copy.data(), size - 1);
    listOnce(copy.data(), size / 2);
    // The flipped bit is chosen by the input, so each seed probes another.
    const size_t at = (size_t{data[0]} * 251 + data[size - 1]) % size;
    copy[at] ^= static_cast<uint8_t>(1u << (data[size / 2] & 7));
    listOnce(copy.data(), size);
#endif
    return 0;
}
