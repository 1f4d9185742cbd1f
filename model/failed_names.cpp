#include "model/failed_names.h"

#include <string>

#include "foundation/look_ahead.h"
#include "foundation/object_heap.h"
#include "foundation/open_slots.h"

namespace model {

void FailedNameNumbers::prefetch(const qestl::HashedText& name) const {
    if (!slots_.empty()) qestl::touch(&slots_[static_cast<uint32_t>(name.hash) & (slots_.size() - 1)]);
}

uint32_t FailedNameNumbers::numberFound(const qestl::HashedText& name) {
    const auto hash = static_cast<uint32_t>(name.hash);
    if (slots_.size() < 2 * (used_ + 1)) grow();
    const size_t mask = slots_.size() - 1;
    size_t i = hash & mask;
    const size_t length = name.text.size();
    for (; slots_[i].count != 0; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        // Compared in place, the length first: most lookups number a
        // name that failed before.
        if (slot.hash == hash && qestl::sameText(std::string_view(text_.data() + slot.at, slot.length), name.text))
            break;
    }
    if (slots_[i].count == 0) {
        ++used_;
        slots_[i] = Slot{hash, static_cast<uint32_t>(used_), static_cast<uint32_t>(text_.size()),
                         static_cast<uint32_t>(length)};
        text_.append(name.text);
    }
    return numberFor(slots_[i].count);
}

// The number of the name that failed `count`th: names that fail one after
// the other get numbers that take places side by side in a container's
// table (eight to a cache line, the runs of eight spread;
// FailedNames::Block::place multiplies by 2654435761, which 0x0E8B2F51
// undoes), as a large container fails them in about that order
// (bench/hostile_shapes.py inheritance_chain_reversed). Never 0 for a count
// that is not.
uint32_t FailedNameNumbers::numberFor(uint32_t count) {
    const uint32_t place = (((count >> 3) * 2654435761u) << 3) | (count & 7u);
    return place * 0x0E8B2F51u;
}

void FailedNameNumbers::grow() {
    qestl::placeSlotsAgain(
        slots_, slots_.empty() ? 64 : slots_.size() * 2, [](const Slot& slot) { return slot.count == 0; },
        [](const Slot& slot) { return slot.hash; });
}

// In object memory: a program makes a block for every container that
// fails a lookup, and grows most of them once or twice.
FailedNames::Block* FailedNames::Block::make(uint32_t capacity) {
    void* memory = qestl::allocateObjectMemory(bytesFor(capacity));
    auto* block = static_cast<Block*>(memory);
    block->mask = capacity - 1;
    block->used = 0;
    block->listed = nullptr;
    for (uint32_t i = 0; i < capacity; ++i) block->slots[i] = Slot{0, 0};
    return block;
}

void FailedNames::Block::free(Block* block) {
    delete block->listed;
    qestl::freeObjectMemory(block, bytesFor(block->mask + 1));
}

size_t FailedNames::notedNumbered(const qestl::HashedText& name, FailedNameNumbers& numbers) const {
    const uint32_t number = numbers.numberOf(name);
    return held_ != 0 ? find(number) : kNotNoted;
}

size_t FailedNames::noteFirstFailure(uint32_t number, size_t count) {
    if (held_ == 0 && count <= kLargestOneCount) {
        held_ = uint64_t{number} << 32 | uint64_t{count} << 1 | kOnePair;
        return count;
    }
    Block* kept = block();
    if (kept == nullptr || 2 * (kept->used + 1) > kept->mask + 1) grow();
    kept = block();
    Slot* slots = kept->slots;  // as a pointer: the array runs past its declared length
    const size_t i = qestl::firstFreePlace(slots, kept->mask, Block::place(number, kept->mask),
                                           [](const Slot& slot) { return slot.number == 0; });
    slots[i] = Slot{number, static_cast<uint32_t>(count)};
    ++kept->used;
    // A large container fails names in about the order they were numbered:
    // the run of places the next ones take lies elsewhere in a block far
    // outside the caches, and is loaded while this run is filled
    // (bench/hostile_shapes.py inheritance_chain_reversed).
    if (kept->mask >= kLargeBlockMask && Block::place(number, 7) == 0) {
        const size_t next = Block::nextRun(number, kept->mask);
        qestl::touch(&slots[next]);
        qestl::touch(&slots[next + 7]);
    }
    return count;
}

void FailedNames::grow() {
    const auto isFree = [](const Slot& slot) { return slot.number == 0; };
    Block* old = block();
    Block* made = Block::make(old == nullptr ? 4 : 2 * (old->mask + 1));
    Slot* slots = made->slots;  // as a pointer: the array runs past its declared length
    if ((held_ & kOnePair) != 0) {
        const Slot pair{static_cast<uint32_t>(held_ >> 32), static_cast<uint32_t>((held_ & kOneCount) >> 1)};
        slots[qestl::firstFreePlace(slots, made->mask, Block::place(pair.number, made->mask), isFree)] = pair;
        made->used = 1;
    }
    held_ = reinterpret_cast<uint64_t>(made);
    if (old == nullptr) return;
    for (uint32_t k = 0; k <= old->mask; ++k) {
        const Slot& slot = old->slots[k];
        if (!isFree(slot))
            slots[qestl::firstFreePlace(slots, made->mask, Block::place(slot.number, made->mask), isFree)] = slot;
    }
    made->used = old->used;
    made->listed = old->listed;
    old->listed = nullptr;
    Block::free(old);
}

const std::vector<qestl::SmartPtr>* FailedNames::similarList(std::string_view name) {
    Block* kept = block();
    return kept != nullptr && kept->listed != nullptr ? kept->listed->similar.find(name) : nullptr;
}

void FailedNames::keepSimilarList(std::string_view name, std::vector<qestl::SmartPtr>&& similar) {
    listed().similar.findOrAdd(name, std::move(similar));
}

FailedNames::Listed& FailedNames::listed() {
    if (block() == nullptr) grow();
    Block* kept = block();
    if (kept->listed == nullptr) kept->listed = new Listed();
    return *kept->listed;
}

NearMissIndex* FailedNames::nearMissIndex(size_t walked, size_t memberCount) {
    // Made once the walks cost some times what making it does: a container
    // asked a few times is walked each time.
    constexpr size_t kIndexedFrom = 64;
    constexpr size_t kWalksPerIndex = 8;
    if (memberCount < kIndexedFrom && (block() == nullptr || block()->listed == nullptr)) return nullptr;
    Listed& kept = listed();
    if (kept.index != nullptr && kept.index->covered() > memberCount) kept.index.reset();
    if (kept.index == nullptr) {
        kept.walked += walked;
        if (memberCount < kIndexedFrom || kept.walked < kWalksPerIndex * memberCount) return nullptr;
        kept.index = std::make_unique<NearMissIndex>();
    }
    return kept.index.get();
}

void FailedNames::forgetNearMissIndex() {
    Block* kept = block();
    if (kept != nullptr && kept->listed != nullptr) kept->listed->index.reset();
}

void FailedNames::noteAllAtNone(const FailedNames& earlier) {
    if ((earlier.held_ & kOnePair) != 0) {
        noteFirstFailure(static_cast<uint32_t>(earlier.held_ >> 32), 0);
        return;
    }
    const Block* kept = earlier.block();
    if (kept == nullptr) return;
    const Slot* slots = kept->slots;  // as a pointer: the array runs past its declared length
    for (size_t i = 0; i <= kept->mask; ++i)
        if (slots[i].number != 0 && (held_ == 0 || find(slots[i].number) == kNotNoted))
            noteFirstFailure(slots[i].number, 0);
}

void FailedNames::clear() {
    if (held_ != 0 && (held_ & kOnePair) == 0) Block::free(reinterpret_cast<Block*>(held_));
    held_ = 0;
}

}  // namespace model
