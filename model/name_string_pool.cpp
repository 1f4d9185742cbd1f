#include "model/name_string_pool.h"

#include <cstring>
#include <functional>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "model/ircode.h"

namespace model {

uint32_t NameStringPool::hashOf(std::string_view text) {
    return static_cast<uint32_t>(std::hash<std::string_view>()(text));
}

uint64_t NameStringPool::offsetOf(std::string_view text) {
    // Tables that hold the same members (a class's static fields and the
    // image heap) name them in the same order: the text behind the one
    // named last is compared in place first, where a search of a table of
    // a million texts waits for memory. Only while no text holds a 0 byte
    // does each 0 end a text, and a text with one could match two.
    if (!zeroInside_ && next_ + text.size() < bytes_.size() && bytes_[next_ + text.size()] == 0 &&
        std::memcmp(bytes_.data() + next_, text.data(), text.size()) == 0 &&
        std::memchr(text.data(), 0, text.size()) == nullptr) {
        const uint64_t offset = next_;
        next_ += text.size() + 1;
        ++foundInPlace_;
        return offset;
    }
    if (used_ + 1 > roomIn(slots_.size())) grow();
    const uint32_t hash = hashOf(text);
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.offset == kEmpty) break;
        if (slot.hash == hash && holds(slot, text)) {
            next_ = slot.offset + text.size() + 1;
            return slot.offset;
        }
    }
    const uint64_t offset = bytes_.size();
    if (offset >= kEmpty) internalFault("internal error: the name pool exceeds 4 GiB");
    if (std::memchr(text.data(), 0, text.size()) != nullptr) {
        zeroInside_ = true;
        zeroLengths_[static_cast<uint32_t>(offset)] = static_cast<uint32_t>(text.size());
    }
    bytes_.append(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    bytes_.pushBack(0);
    slots_[at] = Slot{hash, static_cast<uint32_t>(offset)};
    ++used_;
    next_ = bytes_.size();
    return offset;
}

void NameStringPool::prefetchText(std::string_view text) const {
    if (slots_.empty()) return;
    const uint32_t hash = hashOf(text);
    const size_t mask = slots_.size() - 1;
    const size_t home = hash & mask;
    // Only the two lines prefetchPlace loaded are read: a search that runs
    // on past them loads the next line for offsetOf rather than wait here.
    const uintptr_t homeLine = reinterpret_cast<uintptr_t>(&slots_[home]) / 64;
    for (size_t at = home;; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (reinterpret_cast<uintptr_t>(&slot) / 64 - homeLine >= 2) {
            qestl::touch(&slot);
            return;
        }
        if (slot.offset == kEmpty) return;
        if (slot.hash == hash) {
            qestl::touch(bytes_.data() + slot.offset);
            return;
        }
    }
}

size_t NameStringPool::storedLength(uint32_t offset) const {
    const auto listed = zeroLengths_.find(offset);
    return listed != zeroLengths_.end() ? listed->second
                                        : std::strlen(reinterpret_cast<const char*>(bytes_.data() + offset));
}

void NameStringPool::grow() {
    size_t size = slots_.empty() ? 1024 : slots_.size() * 2;
    while (roomIn(size) < used_ + 1 + expected_) size *= 2;
    qestl::placeSlotsAgain(
        slots_, size, [](const Slot& slot) { return slot.offset == kEmpty; },
        [](const Slot& slot) { return slot.hash; });
}

}  // namespace model
