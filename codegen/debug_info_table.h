// What the debug information of a program image knows of each compiled
// function: its body and the names of its frame, in frame order.
#pragma once

#include <cstdint>
#include <map>
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
};

class DebugInfoTable {
public:
    // Replaces an earlier record of the same function.
    void addFunction(const qestl::SmartPtr& function, model::NodeHandle body, const model::Container& frame);
    void clear();
    const FunctionDebugRecord* find(const model::IRObject* function) const;
    size_t size() const { return records_.size(); }
    // Records in the order their functions were created.
    const std::map<uint64_t, FunctionDebugRecord>& records() const { return records_; }
    // For the image writer, which takes the frame names over.
    std::map<uint64_t, FunctionDebugRecord>& records() { return records_; }

private:
    std::map<uint64_t, FunctionDebugRecord> records_;  // by the function's serial
};

}  // namespace codegen
