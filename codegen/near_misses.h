// The near misses of the pending result: the similar names a message offers
// after a name that could not be found. A failed lookup only notes where it
// looked; the names are listed when a message reads them, since most failed
// lookups are followed by one that succeeds further out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/text_map.h"
#include "model/container.h"
#include "model/ir_result.h"

namespace codegen {

class NearMissList {
public:
    void pushBack(const model::IRResult& result) {
        resolve();
        listed_.pushBack(result);
    }
    // The container must outlive the list's next clear (the lookup's scope).
    // The name's text is kept once for the run of containers one lookup
    // noted it in; `number` is its failed-name number.
    void defer(model::Container& container, std::string_view name, uint32_t number, size_t memberCount) {
        if (pending_.empty() || !qestl::sameText(nameOf(pending_.back()), name)) {
            nameAt_ = names_.size();
            names_.append(name);
        }
        pending_.push_back(Pending{&container, nameAt_, static_cast<uint32_t>(name.size()), number, memberCount});
    }
    // Nothing noted and nothing listed: clear() would change nothing. Asked
    // at every clear of a lookup's results; the names are kept only while
    // something is noted, so their text is not asked.
    bool clearAlready() const { return pending_.empty() && listed_.empty() && !listed_.isBorrowed(); }
    void clear() {
        pending_.clear();
        names_.clear();
        listed_.clearKeepingBuffer();
    }
    void swap(NearMissList& other) noexcept {
        pending_.swap(other.pending_);
        names_.swap(other.names_);
        std::swap(nameAt_, other.nameAt_);
        listed_.swap(other.listed_);
    }
    NearMissList& operator=(const model::IRValueList& list) {
        pending_.clear();
        names_.clear();
        listed_ = list;
        return *this;
    }
    // Only noted places, none listed yet: `visit(container, name, number,
    // memberCount)` sees each in order, and defer() on an empty list makes
    // the same list again. A holder of many lists keeps them so, compactly.
    bool onlyNoted() const { return listed_.empty() && !listed_.isBorrowed(); }
    template <typename Visit>
    void forEachNoted(Visit&& visit) const {
        for (const Pending& entry : pending_) visit(*entry.container, nameOf(entry), entry.number, entry.memberCount);
    }
    bool empty() const { return resolved().empty(); }
    size_t size() const { return resolved().size(); }
    const model::IRValueList& resolved() const {
        resolve();
        return listed_;
    }

private:
    struct Pending {
        model::Container* container;
        size_t nameAt;
        uint32_t nameLength;
        uint32_t number;
        size_t memberCount;
    };

    // An entry's name lies in names_ whole.
    std::string_view nameOf(const Pending& entry) const {
        return std::string_view(names_.data() + entry.nameAt, entry.nameLength);
    }

    void resolve() const {
        for (const Pending& entry : pending_)
            entry.container->listSimilarNames(nameOf(entry), entry.number, entry.memberCount, listed_);
        pending_.clear();
        names_.clear();
    }

    mutable std::vector<Pending> pending_;
    mutable std::string names_;
    size_t nameAt_ = 0;
    mutable model::IRValueList listed_;
};

}  // namespace codegen
