// The near misses of the pending result: the similar names a message offers
// after a name that could not be found. A failed lookup only notes where it
// looked; the names are listed when a message reads them, since most failed
// lookups are followed by one that succeeds further out.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

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
    void defer(model::Container& container, std::string_view name, size_t memberCount) {
        pending_.push_back(Pending{&container, std::string(name), memberCount});
    }
    void clear() {
        pending_.clear();
        listed_.clearKeepingBuffer();
    }
    void swap(NearMissList& other) noexcept {
        pending_.swap(other.pending_);
        listed_.swap(other.listed_);
    }
    NearMissList& operator=(const model::IRValueList& list) {
        pending_.clear();
        listed_ = list;
        return *this;
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
        std::string name;
        size_t memberCount;
    };

    void resolve() const {
        for (const Pending& entry : pending_) entry.container->listSimilarNames(entry.name, entry.memberCount, listed_);
        pending_.clear();
    }

    mutable std::vector<Pending> pending_;
    mutable model::IRValueList listed_;
};

}  // namespace codegen
