#include "codegen/symbol_names.h"

#include <functional>

#include "foundation/open_slots.h"

namespace codegen {

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

void SymbolNames::add(const NodeText& name) { insert(name, hashOf(name.view())); }

void SymbolNames::add(std::string_view name) {
    const uint32_t hash = hashOf(name);
    if (!slots_.empty() && slots_[place(name, hash)].hash != 0) return;
    NodeText stored;
    stored.set(name);
    insert(stored, hash);
}

bool SymbolNames::contains(std::string_view name) const {
    return !slots_.empty() && slots_[place(name, hashOf(name))].hash != 0;
}

}  // namespace codegen
