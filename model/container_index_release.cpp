// Letting go of the model heap's name index while the image is laid out
// and written, and making it again as it was should a name be asked for.
//
// Nothing looks a global name up once the program is compiled, and the
// index is the largest table then held that nothing reads: the program of
// one-method classes (bench/hostile_shapes.py) kept about 40 bytes a class
// of it at the peak, which comes at the end of the layout. The index is let
// go of only where making it again gives the same lists: each member listed
// once, in order, and nothing kept beside the names.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "model/container.h"
#include "model/image_heap.h"

namespace model {

void Container::releaseIndex() {
    if (!isModelHeap() || tables_ == nullptr || members_.size() < kFewestReleased || unlisted_ != 0 || lent_ != 0 ||
        listsHolderNames_ != 0 || tables_->holders > 1 || tables_->slotValues.made() || tables_->signatures.made())
        return;
    std::vector<uint8_t> listed(members_.size(), 0);
    std::vector<std::pair<uint32_t, std::string>> keys;
    bool same = true;
    tables_->index.forEach([&](std::string_view name, const IndexList& indexes) {
        int64_t previous = -1;
        for (const uint32_t index : indexes) {
            const cbircode* record = index < members_.size() ? members_[index].as<cbircode>() : nullptr;
            if (record == nullptr || isClassHolder(*record) || listed[index] != 0 || index <= previous) {
                same = false;
                return;
            }
            listed[index] = 1;
            previous = index;
            if (static_cast<const IRObject*>(record)->name.view() != name) keys.emplace_back(index, std::string(name));
        }
    });
    if (!same) return;
    for (size_t i = 0; i < members_.size(); ++i) {
        const cbircode* record = members_[i].as<cbircode>();
        if (record == nullptr) return;
        if (listed[i] == 0 && !isClassHolder(*record)) keys.emplace_back(static_cast<uint32_t>(i), std::string());
    }
    std::sort(keys.begin(), keys.end());
    static_cast<cbHeap*>(this)->releasedKeys = std::move(keys);
    releaseTables();
    unlisted_ = kIndexReleased;
}

void Container::enterReleased() {
    const std::vector<std::pair<uint32_t, std::string>> keys = std::move(static_cast<cbHeap*>(this)->releasedKeys);
    static_cast<cbHeap*>(this)->releasedKeys.clear();
    unlisted_ = 0;
    auto key = keys.begin();
    for (size_t i = 0; i < members_.size(); ++i) {
        if (key != keys.end() && key->first == i) {
            if (!key->second.empty()) enter(qestl::HashedText(key->second), static_cast<uint32_t>(i));
            ++key;
        } else if (!isClassHolder(*members_[i].as<cbircode>())) {
            enter(qestl::HashedText(asObject(members_[i])->name.view()), static_cast<uint32_t>(i));
        }
    }
}

}  // namespace model
