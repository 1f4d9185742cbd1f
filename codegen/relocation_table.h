// The relocation table: one entry per linked name, each an opcode-164 record
// of the name's string resource and the low 32 bits of its hash.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/rbtree.h"
#include "foundation/smart_ptr.h"
#include "model/ircode.h"

namespace codegen {

class RelocationTable {
public:
    // The operand referring to the entry of name (found or appended):
    // a kind-26 reference with displacement 32.
    model::Operand getOrAddRelocationEntry(std::string_view name, const model::Operand& nameOperand, uint32_t hash);
    const qestl::SmartPtrVector& entries() const { return entries_; }
    // The linked name of entry i.
    const std::string& name(size_t i) const { return *names_[i]; }
    void clear();

private:
    std::map<std::string, size_t, qestl::LengthThenBytesLess> index_;
    qestl::SmartPtrVector entries_;
    std::vector<const std::string*> names_;
};

}  // namespace codegen
