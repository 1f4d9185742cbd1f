// The texts a class record is named with, placed as one run (the
// one_method_classes shape of bench/hostile_shapes.py): a program of a
// million classes asks for two million texts as its classes are placed,
// and an item of 64 bytes for each, with its place among the items, held
// its peak up by 96 MB more than a run's 24 bytes a text. A run is one item
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
    const NameIndex* indexes[] = {lentStrings_, &strings_};
    for (const NameIndex* index : indexes) {
        if (index == nullptr) continue;
        const size_t found = index->find(key, *this);
        if (found != NameIndex::kNone) return referTo(found);
    }
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
        items_.pushBack(model::adoptLive(run));
    }
    const size_t entry = kRunTextEntry + runTexts_.size();
    ResourceItem::TextRun& texts = *run->run_;
    runTexts_.push_back(RunPlace{static_cast<uint32_t>(items_.size() - 1), static_cast<uint32_t>(texts.texts.size())});
    texts.texts.push_back(ResourceItem::RunText{names_.keep(name), static_cast<uint32_t>(texts.bytes), 0});
    texts.bytes += recordBytes;
    strings_.add(key.hash, entry);
    return referTo(entry);
}

ResourceItem::RunText& ResourceTable::runText(size_t entry) const {
    const RunPlace& place = runTexts_[entry - kRunTextEntry];
    return items_[place.item].as<ResourceItem>()->run_->texts[place.at];
}

void ResourceTable::enterRunTexts() {
    for (size_t text = 0; text < runTexts_.size(); ++text)
        strings_.add(qestl::HashedText(entryName(kRunTextEntry + text)).hash, kRunTextEntry + text);
}

int64_t ResourceItem::writeRun(qestl::ByteWriter& out) const {
    int64_t total = 0;
    for (const RunText& text : run_->texts)
        total += writeRecord(out, kResourceString, reinterpret_cast<const uint8_t*>(text.name), std::strlen(text.name));
    return total;
}

}  // namespace codegen
