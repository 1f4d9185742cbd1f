#include "codegen/debug_info_table.h"

#include "model/opcodes.h"

namespace codegen {

void DebugInfoTable::addFunction(const qestl::SmartPtr& function, model::NodeHandle body,
                                 const model::Container& frame) {
    model::IRObject* f = model::asObject(function);
    FunctionDebugRecord record;
    record.function = function;
    record.body = std::move(body);
    if (f->opcode == model::kOpJmp && f->operandCount != 0) record.codeRecord = f->operands[0].target;
    for (const qestl::SmartPtr& member : frame.members())
        record.frameNames.emplace_back(model::asObject(member)->name.view());
    records_[f->serial()] = std::move(record);
}

void DebugInfoTable::clear() { records_.clear(); }

const FunctionDebugRecord* DebugInfoTable::find(const model::IRObject* function) const {
    auto found = records_.find(function->serial());
    return found == records_.end() ? nullptr : &found->second;
}

}  // namespace codegen
