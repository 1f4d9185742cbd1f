#include "codegen/symbol_names.h"

#include <functional>

#include "foundation/open_slots.h"

namespace codegen {

SymbolNames::MarkPlace SymbolNames::markPlace(uint32_t reference) {
    // A reference holds its chunk's index above the unit's offset: the bits
    // above the offset within a block number the block among every chunk's.
    const uint32_t unit = reference & ((1u << kMarkBlockBits) - 1);
    return {reference >> kMarkBlockBits, unit >> 6, uint64_t{1} << (unit & 63)};
}

void SymbolNames::mark(uint32_t reference) {
    const MarkPlace at = markPlace(reference);
    if (at.block >= marks_.size()) marks_.resize(at.block + 1);
    if (!marks_[at.block]) marks_[at.block] = std::make_unique<uint64_t[]>(kMarkWords);
    marks_[at.block][at.word] |= at.bit;
}

uint32_t SymbolNames::hashOf(std::string_view name) {
    const uint64_t hash = std::hash<std::string_view>()(name);
    return static_cast<uint32_t>(hash ^ (hash >> 32)) | 1;
}

size_t SymbolNames::place(std::string_view name, uint32_t hash) const {
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    while (slots_[at].hash != 0 && (slots_[at].hash != hash || slots_[at].text.view() != name)) at = (at + 1) & mask;
    return at;
}

void SymbolNames::insert(const NodeText& name, uint32_t hash) {
    if ((used_ + 1) * 2 > slots_.size()) {
        qestl::placeSlotsAgain(
            slots_, slots_.empty() ? 64 : slots_.size() * 2, [](const Slot& slot) { return slot.hash == 0; },
            [](const Slot& slot) { return slot.hash; });
    }
    Slot& slot = slots_[place(name.view(), hash)];
    if (slot.hash != 0) return;
    slot.hash = hash;
    slot.text = name;
    ++used_;
}

void SymbolNames::add(const NodeText& name) {
    if (name.isShared()) {
        mark(name.reference());
        return;
    }
    insert(name, hashOf(name.view()));
}

void SymbolNames::add(std::string_view name) {
    if (nodetext::isShared(name)) {
        NodeText stored;
        stored.set(name);
        mark(stored.reference());
        return;
    }
    const uint32_t hash = hashOf(name);
    if (!slots_.empty() && slots_[place(name, hash)].hash != 0) return;
    NodeText stored;
    stored.set(name);
    insert(stored, hash);
}

bool SymbolNames::contains(const NodeText& name) const {
    if (name.isShared()) {
        const MarkPlace at = markPlace(name.reference());
        return at.block < marks_.size() && marks_[at.block] && (marks_[at.block][at.word] & at.bit) != 0;
    }
    return !slots_.empty() && slots_[place(name.view(), hashOf(name.view()))].hash != 0;
}

}  // namespace codegen
