// What the debug information of a program image knows of each compiled
// function: its first record and the names of its frame, in frame order.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "foundation/open_slots.h"
#include "foundation/smart_ptr.h"
#include "model/container.h"

namespace codegen {

struct FunctionDebugRecord {
    qestl::SmartPtr function;
    // The record the function's jump leads to (its first instruction).
    qestl::SmartPtr codeRecord;
    uint64_t serial = 0;  // the function's
    // Its frame's names: a stretch of the table's list of names.
    uint32_t firstName = 0;
    uint32_t nameCount = 0;
};

class DebugInfoTable {
public:
    // Replaces an earlier record of the same function.
    void addFunction(const qestl::SmartPtr& function, const model::Container& frame);
    void clear();
    const FunctionDebugRecord* find(const model::IRObject* function) const;
    // For when no function is compiled any more (the image is to be laid
    // out): while the records lie in serial order, as bodies mostly are
    // compiled, the table of slots goes and find() searches the records,
    // and the records take only their own room. A program of one-method
    // classes kept both through the layout's peak, some 20 bytes a class.
    // A record added later makes the table again.
    void releaseIndex();
    // The names of a record's frame, in frame order.
    std::span<const std::string_view> frameNames(const FunctionDebugRecord& record) const {
        return {names_.data() + record.firstName, record.nameCount};
    }
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
    // The table of slots made again from the records, after releaseIndex.
    void placeRecordsAgain();

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
    qestl::TableVector<Slot> slots_;
    // The frames' names, each a view into the text blocks: a million
    // functions' few names each, as strings of their own, took twice the
    // room and a heap block per function besides.
    std::vector<std::string_view> names_;
    std::vector<std::unique_ptr<char[]>> textBlocks_;
    char* textNext_ = nullptr;
    size_t textLeft_ = 0;

    std::string_view keepText(std::string_view text);
};

}  // namespace codegen
