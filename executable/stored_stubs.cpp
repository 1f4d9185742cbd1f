#include "executable/stored_stubs.h"

#include "foundation/lzma_stream.h"
#include "foundation/stream.h"
#include "options/compile_options.h"

int storedStubSlot(int32_t targetOs, int bits, bool debuggable) {
    int pair;
    if (targetOs == kTargetWindows) {
        pair = bits == 32 ? 0 : 1;
    } else if (targetOs == kTargetLinux) {
        pair = bits == 32 ? 2 : 3;
    } else if (targetOs == kTargetDarwin && bits == 64) {
        pair = 4;
    } else {
        return -1;
    }
    return pair * 2 + (debuggable ? 1 : 0);
}

bool restoreStoredStub(int slot, qestl::ByteVector& stub) {
    stub.clear();
    if (slot < 0 || slot >= kStoredStubCount || kStoredStubs[slot].length == 0) return false;
    const StoredStub& kept = kStoredStubs[slot];
    qestl::ByteVector plain;
    plain.resize(kept.length);
    for (uint32_t i = 0; i < kept.length; ++i) plain[i] = static_cast<uint8_t>(~kept.bytes[i]);
    qestl::qeByteStream input(plain.data(), plain.size());
    qestl::qeByteStream output;
    if (!lzmaDecompressStream(output, input)) return false;
    stub.appendRange(output.data(), output.size());
    return true;
}
