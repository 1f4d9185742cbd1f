#include "model/name_string_pool.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <functional>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "model/ircode.h"

namespace model {

uint64_t NameStringPool::hashOf(std::string_view text) { return std::hash<std::string_view>()(text); }

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
    if (used_ + 1 > roomIn(slots_.size()) || (bytes_.size() >= offsetMask_ && offsetMask_ != kWholeWord)) grow();
    const uint64_t hash = hashOf(text);
    const Slot filter = filterOf(hash);
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    for (;; at = (at + 1) & mask) {
        const Slot slot = slots_[at];
        if (slot == offsetMask_) break;
        if ((slot & ~offsetMask_) == filter && holds(slot, text)) {
            const uint32_t offset = slot & offsetMask_;
            next_ = offset + text.size() + 1;
            return offset;
        }
    }
    const uint64_t offset = bytes_.size();
    if (offset >= kWholeWord) internalFault("internal error: the name pool exceeds 4 GiB");
    if (std::memchr(text.data(), 0, text.size()) != nullptr) {
        zeroInside_ = true;
        zeroLengths_[static_cast<uint32_t>(offset)] = static_cast<uint32_t>(text.size());
    }
    bytes_.append(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    bytes_.pushBack(0);
    slots_[at] = filter | static_cast<uint32_t>(offset);
    ++used_;
    next_ = bytes_.size();
    return offset;
}

void NameStringPool::prefetchText(std::string_view text) const {
    if (slots_.empty()) return;
    const uint64_t hash = hashOf(text);
    const Slot filter = filterOf(hash);
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
        if (slot == offsetMask_) return;
        if ((slot & ~offsetMask_) == filter) {
            qestl::touch(bytes_.data() + (slot & offsetMask_));
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
    size_t size = slots_.empty() ? kFirstSlots : slots_.size();
    while (roomIn(size) < used_ + 1 + expected_) size *= 2;
    // Room for the offsets of twice the pool's bytes, or of eight bytes for
    // each text the writer expects: over a pool of many megabytes the offsets
    // outgrow their bits a few times at most, each time with one bit less to
    // filter by. Past 2 GiB every bit holds the offset.
    const uint64_t reach = std::max<uint64_t>({bytes_.size(), 0xFFFF, expected_ * 8}) * 2;
    const Slot wider = reach >= kWholeWord ? kWholeWord : std::bit_ceil(static_cast<uint32_t>(reach) + 1) - 1;
    if (size == slots_.size()) {
        // Only the offsets outgrew their bits: each text keeps its place,
        // and the filter's lowest bits, now the offset's, become 0. Made
        // again, the table hashed and placed every text once more, a wait
        // for memory each (bench/hostile_shapes.py one_method_classes: at a
        // million classes the pool passes the eight bytes a text that its
        // first table was made for).
        const Slot narrower = offsetMask_;
        for (Slot& slot : slots_) slot = slot == narrower ? wider : (slot & ~wider) | (slot & narrower);
        offsetMask_ = wider;
        return;
    }
    offsetMask_ = wider;
    // The old table goes first: at the peak of memory, two of them would
    // be held at once.
    decltype(slots_)().swap(slots_);
    slots_.assign(size, offsetMask_);
    const size_t mask = size - 1;
    const Slot free = offsetMask_;
    // The pool holds each text once, one behind the other: each is hashed
    // where it lies, in order, with no compare. A text is placed some texts
    // after it was hashed, its place asked for then: a table of millions of
    // texts lies far outside the caches, and placed one after the other
    // each waited for memory (bench/hostile_shapes.py one_method_classes,
    // whose table is made again once its five million texts outgrow it).
    constexpr size_t kAhead = 16;
    struct Hashed {
        uint64_t hash;
        uint32_t offset;
    };
    Hashed ahead[kAhead];
    size_t hashed = 0;
    const auto place = [&](const Hashed& text) {
        slots_[qestl::firstFreePlace(slots_, mask, text.hash, [free](Slot slot) { return slot == free; })] =
            filterOf(text.hash) | text.offset;
    };
    for (uint64_t offset = 0; offset < bytes_.size(); ++hashed) {
        const size_t length = storedLength(static_cast<uint32_t>(offset));
        const uint64_t hash = hashOf(std::string_view(reinterpret_cast<const char*>(bytes_.data() + offset), length));
        if (hashed >= kAhead) place(ahead[hashed % kAhead]);
        qestl::touchHashed(&slots_[hash & mask]);
        ahead[hashed % kAhead] = Hashed{hash, static_cast<uint32_t>(offset)};
        offset += length + 1;
    }
    for (size_t k = hashed > kAhead ? hashed - kAhead : 0; k < hashed; ++k) place(ahead[k % kAhead]);
}

}  // namespace model
