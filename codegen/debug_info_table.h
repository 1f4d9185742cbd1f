// What the debug information of a program image knows of each compiled
// function: its first record and the names of its frame, in frame order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/smart_ptr.h"
#include "model/container.h"

namespace codegen {

struct FunctionDebugRecord {
    qestl::SmartPtr function;
    // The record the function's jump leads to (its first instruction).
    qestl::SmartPtr codeRecord;
    std::vector<std::string> frameNames;
    uint64_t serial = 0;  // the function's
};

class DebugInfoTable {
public:
    // Replaces an earlier record of the same function.
    void addFunction(const qestl::SmartPtr& function, const model::Container& frame);
    void clear();
    const FunctionDebugRecord* find(const model::IRObject* function) const;
    size_t size() const { return records_.size(); }
    // The records in the order their functions were created.
    std::vector<const FunctionDebugRecord*> inCreationOrder() const;
    // Calls visit(record, later) for each record in that order, `later` the
    // record `ahead` places on (null past the end), for a walk that asks for
    // what it reads of them beforehand. Bodies are mostly compiled in the
    // order their functions were made: then the records are read where they
    // lie, and no list of a million of them is made at the peak of the image
    // writing.
    template <typename Visit>
    void forEachInCreationOrder(size_t ahead, Visit&& visit) const {
        const size_t count = records_.size();
        if (inSerialOrder()) {
            for (size_t i = 0; i < count; ++i) visit(records_[i], i + ahead < count ? &records_[i + ahead] : nullptr);
            return;
        }
        const std::vector<const FunctionDebugRecord*> ordered = inCreationOrder();
        for (size_t i = 0; i < count; ++i) visit(*ordered[i], i + ahead < count ? ordered[i + ahead] : nullptr);
    }

private:
    bool inSerialOrder() const;
    // The place of the serial's slot: its own, or the free one it would take.
    size_t placeOf(uint64_t serial) const;

    // As they were added: a large program's hundred thousand functions, each
    // once, would each cost a tree node and its rebalancing.
    std::vector<FunctionDebugRecord> records_;
    // Open-addressed by serial: the record's index plus one (0 free), and
    // the serial's low half, which the record's whole serial confirms. 8
    // bytes: a program of a million methods has two million slots, at the
    // peak of the image writing.
    struct Slot {
        uint32_t serialLow = 0;
        uint32_t record = 0;
    };
    std::vector<Slot> slots_;
};

}  // namespace codegen
