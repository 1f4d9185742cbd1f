#include "codegen/relocation_table.h"

#include "model/opcodes.h"

namespace codegen {

model::Operand RelocationTable::getOrAddRelocationEntry(std::string_view name, const model::Operand& nameOperand,
                                                        uint32_t hash) {
    auto found = index_.find(name);
    if (found == index_.end()) {
        auto* entry = new model::cbircode(model::kOpRelocationTable, 2);
        entry->operands[0] = nameOperand;
        entry->operands[1] = model::Operand(static_cast<int32_t>(hash), model::kImmInt, model::kTypeInt);
        found = index_.emplace(std::string(name), entries_.size()).first;
        entries_.pushBack(model::adoptLive(entry));
        names_.push_back(&found->first);
    }
    model::Operand out;
    out.setObjectRef(entries_[found->second], 32);
    return out;
}

void RelocationTable::clear() {
    index_.clear();
    entries_.clear();
    names_.clear();
}

}  // namespace codegen
