// The dispatch form of an integral switch, from its distinct case values.
#pragma once

#include <cstdint>

struct SwitchForm {
    bool table = false;  // a jump table; else a sorted lookup
    // The table's entries, largest - smallest + 1 (valid when table).
    uint64_t entries = 0;
};

// count distinct values between smallest and largest (signed). Dense values
// take a table: count > (largest - smallest) >> 1, the difference taken in
// two's complement and halved arithmetically, compared unsigned, so a span
// wider than int64 reads as huge rather than overflowing.
inline SwitchForm chooseSwitchForm(uint64_t count, int64_t smallest, int64_t largest) {
    const int64_t span = static_cast<int64_t>(static_cast<uint64_t>(largest) - static_cast<uint64_t>(smallest));
    SwitchForm form;
    form.table = count > static_cast<uint64_t>(span >> 1);
    if (form.table) form.entries = static_cast<uint64_t>(span) + 1;
    return form;
}
