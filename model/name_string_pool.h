// The name strings of an image: each text once, NUL-terminated, found again
// by its bytes. The image writer empties and fills it; references to a text
// are relative to the pool's place in the image.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "foundation/vector.h"

namespace model {

class NameStringPool {
public:
    void clear() {
        bytes_.clear();
        offsets_.clear();
    }
    // Where the pool lies in the image.
    void setBase(uint64_t base) { base_ = base; }
    uint64_t base() const { return base_; }
    // The offset of text in the pool (appended once, with its terminator).
    uint64_t offsetOf(std::string_view text);
    const qestl::ByteVector& bytes() const { return bytes_; }

private:
    uint64_t base_ = 0;
    qestl::ByteVector bytes_;
    // Looked up by view: finding a name allocates nothing.
    struct Hash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
    };
    std::unordered_map<std::string, uint64_t, Hash, std::equal_to<>> offsets_;
};

}  // namespace model
