#include "model/name_string_pool.h"

#include <cstring>
#include <functional>

#include "foundation/open_slots.h"

namespace model {

uint32_t NameStringPool::hashOf(std::string_view text) {
    return static_cast<uint32_t>(std::hash<std::string_view>()(text));
}

uint64_t NameStringPool::offsetOf(std::string_view text) {
    if ((used_ + 1) * 2 > slots_.size()) grow();
    const uint32_t hash = hashOf(text);
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.offset == kEmpty) break;
        if (slot.hash == hash && slot.length == text.size() &&
            (text.empty() || std::memcmp(bytes_.data() + slot.offset, text.data(), text.size()) == 0))
            return slot.offset;
    }
    const uint64_t offset = bytes_.size();
    bytes_.append(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    bytes_.pushBack(0);
    slots_[at] = Slot{hash, static_cast<uint32_t>(text.size()), offset};
    ++used_;
    return offset;
}

void NameStringPool::prefetchText(std::string_view text) const {
    if (slots_.empty()) return;
    const uint32_t hash = hashOf(text);
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask; slots_[at].offset != kEmpty; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.hash == hash && slot.length == text.size()) {
            __builtin_prefetch(bytes_.data() + slot.offset);
            return;
        }
    }
}

void NameStringPool::grow() {
    qestl::placeSlotsAgain(
        slots_, slots_.empty() ? 1024 : slots_.size() * 2, [](const Slot& slot) { return slot.offset == kEmpty; },
        [](const Slot& slot) { return slot.hash; });
}

}  // namespace model
