// What the debug information of a program image knows of each compiled
// function: its body and the names of its frame, in frame order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/smart_ptr.h"
#include "model/container.h"

namespace codegen {

struct FunctionDebugRecord {
    qestl::SmartPtr function;
    model::NodeHandle body;
    // The record the function's jump leads to (its first instruction).
    qestl::SmartPtr codeRecord;
    std::vector<std::string> frameNames;
    uint64_t serial = 0;  // the function's
};

class DebugInfoTable {
public:
    // Replaces an earlier record of the same function.
    void addFunction(const qestl::SmartPtr& function, model::NodeHandle body, const model::Container& frame);
    void clear();
    const FunctionDebugRecord* find(const model::IRObject* function) const;
    size_t size() const { return records_.size(); }
    // The records in the order their functions were created. For the image
    // writer, which takes the frame names over.
    std::vector<FunctionDebugRecord*> inCreationOrder();

private:
    // The place of the serial's slot: its own, or the free one it would take.
    size_t placeOf(uint64_t serial) const;

    // As they were added: a large program's hundred thousand functions, each
    // once, would each cost a tree node and its rebalancing.
    std::vector<FunctionDebugRecord> records_;
    // Open-addressed by serial: the record's index plus one (0 free).
    struct Slot {
        uint64_t serial = 0;
        uint32_t record = 0;
    };
    std::vector<Slot> slots_;
};

}  // namespace codegen
