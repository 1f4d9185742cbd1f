// A counted reference to a plain value whose count block is shared by every
// copy and changed atomically, so copies may travel between threads. When the
// last copy goes, the release function gets the value and the block is freed.
#pragma once

#include <cstdint>

#include "foundation/vector.h"

namespace qestl {

using SharedReleaseFn = void (*)(uint64_t value);

class SharedHandle {
public:
    SharedHandle() = default;
    SharedHandle(const SharedHandle& other);
    SharedHandle& operator=(const SharedHandle& other);
    ~SharedHandle() { reset(); }

    // The first handle of a value: a fresh count block holding 1. release
    // may be null when the value needs no disposal.
    static SharedHandle make(uint64_t value, SharedReleaseFn release);

    // Drops this handle's reference: at zero the release function runs and
    // the count block is freed. The handle is null afterwards.
    void reset();

    bool isNull() const { return count_ == nullptr; }
    uint64_t value() const { return value_; }
    SharedReleaseFn releaseFunction() const { return release_; }
    // References to the value, 0 for a null handle.
    uint32_t useCount() const;

private:
    uint32_t* count_ = nullptr;
    uint64_t value_ = 0;
    SharedReleaseFn release_ = nullptr;
};

using SharedHandleVector = qevector<SharedHandle>;

}  // namespace qestl
