// The set of warning codes that -wl suppresses; the diagnostics look codes up
// in it.
#pragma once

#include <cstdint>

#include "foundation/rbtree.h"

class WarningCodeSet : public qestl::RbMap<int32_t, qestl::NoValue> {
public:
    // False when the code was already there (or could not be stored).
    bool insert(int32_t code) {
        bool inserted = false;
        findOrInsert(code, &inserted);
        return inserted;
    }
    bool contains(int32_t code) const { return find(code) != nullptr; }
};
