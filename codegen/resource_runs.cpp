// The texts a class record is named with, placed as one run (the
// one_method_classes shape of bench/hostile_shapes.py): a program of a
// million classes asks for two million texts as its classes are placed,
// and an item of 64 bytes for each, with its place among the items, held
// its peak up by 120 MB more than a run's 12 bytes a text. A run is one item
// that writes each of its texts as the record an item of its own would
// have written, where that item would have lain; a text is reached by the
// run and its place in it.
#include <cstring>

#include "codegen/resource_table.h"
#include "model/model_context.h"

namespace codegen {

model::Operand ResourceTable::getOrAddName(model::ModelContext& context, std::string_view name) {
    // A text holding a 0 byte keeps its length beside it: an item of its own.
    if (std::memchr(name.data(), 0, name.size()) != nullptr)
        return getOrAdd(context, name, kResourceString, name.data(), name.size(), model::NodeHandle());
    if (stringsReleased_) [[unlikely]]
        restoreStringIndex();
    if (mayBeUnlisted(name)) enterUnlisted();
    const qestl::HashedText key(name);
    if (const size_t found = findString(key); found != NameIndex::kNone) return referTo(found);
    // A run goes on while nothing else was appended behind it; a
    // displacement stays below 2 GiB.
    const uint64_t recordBytes = ResourceItem::kRecordHead + name.size() + 1;
    ResourceItem* run = items_.size() > lentItems_ ? items_.back().as<ResourceItem>() : nullptr;
    if (run == nullptr || !run->isTextRun() || run->run_->bytes + recordBytes > INT32_MAX) {
        if (items_.size() >= kRunTextEntry)
            model::internalFault("internal error: more resources than an index can number");
        run = new ResourceItem();
        run->setKind(ResourceItem::kTextRunKind);
        run->run_ = new ResourceItem::TextRun;
        run->run_->firstText = runTextCount_;
        runs_.push_back(static_cast<uint32_t>(items_.size()));
        items_.pushBack(model::adoptLive(run));
    }
    ResourceItem::TextRun& texts = *run->run_;
    texts.names.push_back(names_.keep(name));
    texts.places.push_back(static_cast<uint32_t>(texts.bytes));
    texts.bytes += recordBytes;
    const size_t entry = kRunTextEntry + runTextCount_++;
    strings_.add(key.hash, entry);
    return referTo(entry);
}

ResourceTable::RunTextPlace ResourceTable::runTextAt(size_t entry) const {
    // The last run whose first text is not past this one: most programs
    // have one run.
    const size_t text = entry - kRunTextEntry;
    size_t low = 0, high = runs_.size();
    while (high - low > 1) {
        const size_t middle = low + (high - low) / 2;
        if (runOf(runs_[middle]).firstText <= text) low = middle;
        else high = middle;
    }
    return RunTextPlace{runs_[low], text - runOf(runs_[low]).firstText};
}

void ResourceTable::enterRunTexts() {
    for (const uint32_t item : runs_) {
        const ResourceItem::TextRun& run = runOf(item);
        for (size_t i = 0; i < run.names.size(); ++i)
            strings_.add(qestl::HashedText(std::string_view(run.names[i])).hash, kRunTextEntry + run.firstText + i);
    }
}

int64_t ResourceItem::writeRun(qestl::ByteWriter& out) const {
    int64_t total = 0;
    for (const char* name : run_->names)
        total += writeRecord(out, kResourceString, reinterpret_cast<const uint8_t*>(name), std::strlen(name));
    return total;
}

}  // namespace codegen
