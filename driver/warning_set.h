// The set of warning codes that -wl suppresses; the diagnostics look codes up
// in it.
#pragma once

#include <cstdint>

#include "foundation/vector.h"

class WarningCodeSet {
public:
    // False when the code was already there.
    bool insert(int32_t code) {
        size_t at = lowerBound(code);
        if (at < codes_.size() && codes_[at] == code) return false;
        codes_.insertRange(at, &code, 1);
        return true;
    }
    bool contains(int32_t code) const {
        size_t at = lowerBound(code);
        return at < codes_.size() && codes_[at] == code;
    }
    size_t size() const { return codes_.size(); }

private:
    size_t lowerBound(int32_t code) const {
        size_t low = 0, high = codes_.size();
        while (low < high) {
            size_t mid = (low + high) / 2;
            if (codes_[mid] < code) low = mid + 1; else high = mid;
        }
        return low;
    }
    qestl::qevector<int32_t> codes_;
};
