#include "codegen/debug_info_table.h"

#include <algorithm>
#include <cstring>

#include "foundation/open_slots.h"
#include "model/opcodes.h"

namespace codegen {
namespace {

bool isFree(const auto& slot) { return slot.record == 0; }
// From the serial's low half, which a slot keeps: the table grows without
// reading the records. Serials that lie within 64 of each other share a
// group of 64 places, each its own place in it, the groups spread by a
// hash: functions are mostly added in the order they were made, a few
// serials apart, and one after the other they fill a line or two of the
// table where each waited for a line of its own far outside the caches
// (bench/hostile_shapes.py one_method_classes, a million functions).
size_t homeOf(uint32_t serialLow) {
    const uint64_t group = (uint64_t{serialLow >> 6} * 0x9E3779B97F4A7C15ull) >> 32;
    return static_cast<size_t>(group << 6 | (serialLow & 63));
}

}  // namespace

size_t DebugInfoTable::placeOf(uint64_t serial) const {
    const auto low = static_cast<uint32_t>(serial);
    return qestl::firstFreePlace(slots_, slots_.size() - 1, homeOf(low), [this, serial, low](const Slot& slot) {
        return isFree(slot) || (slot.serialLow == low && records_[slot.record - 1].serial == serial);
    });
}

void DebugInfoTable::addFunction(const qestl::SmartPtr& function, const model::Container& frame) {
    if (slots_.empty() && !records_.empty()) placeRecordsAgain();
    model::IRObject* f = model::asObject(function);
    FunctionDebugRecord record;
    record.function = function;
    record.serial = f->serial();
    if (f->opcode == model::kOpJmp && f->operandCount != 0) record.codeRecord = f->operands[0].target;
    record.firstName = static_cast<uint32_t>(names_.size());
    for (const qestl::SmartPtr& member : frame.members())
        names_.push_back(keepText(model::asObject(member)->name.view()));
    record.nameCount = static_cast<uint32_t>(names_.size() - record.firstName);
    // At most half the slots in use.
    if (2 * (records_.size() + 1) > slots_.size())
        qestl::placeSlotsAgain(
            slots_, std::max<size_t>(64, slots_.size() * 2), [](const Slot& s) { return isFree(s); },
            [](const Slot& s) { return homeOf(s.serialLow); });
    Slot& slot = slots_[placeOf(record.serial)];
    if (!isFree(slot)) {
        records_[slot.record - 1] = std::move(record);
        return;
    }
    records_.push_back(std::move(record));
    slot = Slot{static_cast<uint32_t>(records_.back().serial), static_cast<uint32_t>(records_.size())};
}

std::string_view DebugInfoTable::keepText(std::string_view text) {
    constexpr size_t kTextBlockBytes = 64 * 1024;
    if (text.empty()) return {};
    if (text.size() > textLeft_) {
        const size_t bytes = std::max(kTextBlockBytes, text.size());
        textBlocks_.push_back(std::make_unique_for_overwrite<char[]>(bytes));
        textNext_ = textBlocks_.back().get();
        textLeft_ = bytes;
    }
    char* kept = textNext_;
    std::memcpy(kept, text.data(), text.size());
    textNext_ += text.size();
    textLeft_ -= text.size();
    return {kept, text.size()};
}

void DebugInfoTable::clear() {
    records_.clear();
    slots_.clear();
    names_.clear();
    textBlocks_.clear();
    textNext_ = nullptr;
    textLeft_ = 0;
}

const FunctionDebugRecord* DebugInfoTable::find(const model::IRObject* function) const {
    if (slots_.empty()) {
        // Released in serial order, or never filled.
        const uint64_t serial = function->serial();
        const auto found = std::lower_bound(
            records_.begin(), records_.end(), serial,
            [](const FunctionDebugRecord& record, uint64_t wanted) { return record.serial < wanted; });
        return found != records_.end() && found->serial == serial ? &*found : nullptr;
    }
    const Slot& slot = slots_[placeOf(function->serial())];
    return isFree(slot) ? nullptr : &records_[slot.record - 1];
}

void DebugInfoTable::releaseIndex() {
    if (slots_.empty() || !inSerialOrder()) return;
    decltype(slots_)().swap(slots_);
    records_.shrink_to_fit();
}

void DebugInfoTable::placeRecordsAgain() {
    size_t size = 64;
    while (2 * (records_.size() + 1) > size) size *= 2;
    slots_.assign(size, Slot{});
    for (size_t i = 0; i < records_.size(); ++i)
        slots_[placeOf(records_[i].serial)] = Slot{static_cast<uint32_t>(records_[i].serial),
                                                   static_cast<uint32_t>(i + 1)};
}

bool DebugInfoTable::inSerialOrder() const {
    return std::is_sorted(
        records_.begin(), records_.end(),
        [](const FunctionDebugRecord& a, const FunctionDebugRecord& b) { return a.serial < b.serial; });
}

std::vector<const FunctionDebugRecord*> DebugInfoTable::inCreationOrder() const {
    std::vector<const FunctionDebugRecord*> ordered;
    ordered.reserve(records_.size());
    for (const FunctionDebugRecord& record : records_) ordered.push_back(&record);
    auto bySerial = [](const FunctionDebugRecord* a, const FunctionDebugRecord* b) { return a->serial < b->serial; };
    if (!std::is_sorted(ordered.begin(), ordered.end(), bySerial)) std::sort(ordered.begin(), ordered.end(), bySerial);
    return ordered;
}

}  // namespace codegen
