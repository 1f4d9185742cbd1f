// The runtime stubs kept inside the compiler: ten slots, each an LZMA
// "alone" stream (known size, no end marker) with every byte complemented.
// The bytes are generated at build time from the stub files; a slot whose
// toolchain was missing is empty.
#pragma once

#include <cstdint>

#include "foundation/vector.h"

struct StoredStub {
    const uint8_t* bytes;
    uint32_t length;
};

// Slot order: (windows, 32), (windows, 64), (linux, 32), (linux, 64),
// (darwin, 64), each plain then -dbg.
inline constexpr int kStoredStubCount = 10;
extern const StoredStub kStoredStubs[kStoredStubCount];

// The slot for a target, or -1 when none is kept (32-bit darwin, windows_xp,
// a custom OS).
int storedStubSlot(int32_t targetOs, int bits, bool debuggable);

// Decodes a slot into `stub` from a complemented copy, so the kept bytes
// stay as they are and any number of calls give the same stub. False for an
// empty slot or a stream that does not decode.
bool restoreStoredStub(int slot, qestl::ByteVector& stub);
