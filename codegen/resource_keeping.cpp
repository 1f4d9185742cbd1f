// Keeping the registry's resource items and giving them back after each
// compilation they were lent to (driver/builtin_lending.h). The same work
// whatever the compilation's source: the fuzz build leaves it out of its
// coverage (CMakeLists.txt).
#include "codegen/resource_table.h"

#include "model/kept_objects.h"

namespace codegen {

void ResourceTable::keepItems() {
    listUnlisted();
    kept_.clear();
    kept_.reserve(items_.size());
    for (const qestl::SmartPtr& held : items_) {
        ResourceItem* item = held.as<ResourceItem>();
        if (item->isTextRun()) model::internalFault("internal error: a run of texts kept to be lent");
        item->kept = model::kKeptLent;
        KeptItem& state = kept_.emplace_back();
        state.item = held;
        state.codeAddress = item->codeAddress;
        state.resolvedOnce = item->resolvedOnce;
        state.mark = item->mark();
        state.kind = static_cast<uint8_t>(item->kind());
        state.named = item->own() == nullptr;
        if (!state.named) {
            state.data = item->own()->bytes;
            state.fileLength = item->own()->fileLength;
            state.fileMeasured = item->own()->fileMeasured;
        }
    }
}

void ResourceTable::lendItemsTo(ResourceTable& table) const {
    listUnlisted();
    if (!table.items_.empty() || table.lentStrings_ != nullptr || !blocks_.empty() || !files_.empty())
        model::internalFault("resource items lent to a table that holds some");
    // Borrowed: the table only appends, which copies them first.
    table.items_.borrow(const_cast<qestl::SmartPtr*>(items_.data()), items_.size());
    table.lentItems_ = items_.size();
    table.lentStrings_ = &strings_;
}

bool ResourceTable::giveBackItem(KeptItem& state, bool whole) {
    ResourceItem* item = state.item.as<ResourceItem>();
    // A placed item had its place written each time: only the full check
    // needs to know whether it had changed.
    bool changed = whole && (item->codeAddress != state.codeAddress || item->resolvedOnce != state.resolvedOnce);
    item->codeAddress = state.codeAddress;
    item->resolvedOnce = state.resolvedOnce;
    if (!whole) return false;
    const bool named = item->own() == nullptr;
    changed = changed || item->mark() != state.mark || item->kind() != state.kind || named != state.named ||
              (!named &&
               (item->own()->fileLength != state.fileLength || item->own()->fileMeasured != state.fileMeasured ||
                item->own()->bytes.size() != state.data.size() ||
                !model::sameKeptBytes(item->own()->bytes.data(), state.data.data(), state.data.size())));
    item->setMark(state.mark);
    item->setKind(state.kind);
    if (state.named) {
        item->dropOwnData();
    } else if (changed) {
        ResourceItem::OwnData& own = item->ownData();
        own.bytes = state.data;
        own.fileLength = state.fileLength;
        own.fileMeasured = state.fileMeasured;
    }
    return changed;
}

void ResourceTable::giveBackItems(bool checkAll) {
    // Each item's mark says whether and how the compilation wrote it.
    for (KeptItem& state : kept_) {
        ResourceItem* item = state.item.as<ResourceItem>();
        const uint8_t how = item->kept;
        if (how == model::kKeptLent) continue;
        item->kept = model::kKeptLent;
        giveBackItem(state, how != model::kKeptPlaced);
    }
    if (!checkAll) return;
    for (KeptItem& state : kept_)
        if (giveBackItem(state, true))
            model::internalFault("internal error: the lent resource %s was written without noting it",
                                 state.item.as<ResourceItem>()->nameText());
}

void ResourceTable::releaseItems() {
    for (KeptItem& state : kept_) state.item.as<ResourceItem>()->kept = model::kNotKept;
    kept_.clear();
}

}  // namespace codegen
