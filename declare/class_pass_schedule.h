// The class pass repeats over a scope until a pass declares nothing new. A
// full walk per pass is quadratic when each pass declares only a few (a
// chain of classes written subclass first declares one per pass:
// bench/hostile_shapes.py inheritance_chain_reversed), so a pass after the
// first visits only what may turn out otherwise: a class whose base could
// not be declared waits, under the base's name, until a class of that name
// is declared or walked; a declaration done for good is not visited again.
// What a skipped visit would have left (its deferred errors counted, the
// scope's lookup mode) is replayed, and the order within a pass is the
// walk's, so a pass declares what a full walk would, in the same order.
//
// The items are the nodes a walk visits, in its order: the body's node and
// its children, depth first (a scope's declarations are a node and its
// siblings, listed as its children); each with the suppressing annotations
// around it, which a full walk counts as it enters and leaves them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "codegen/compile_context.h"
#include "declare/declaration_pass.h"
#include "foundation/index_set.h"
#include "foundation/open_slots.h"
#include "foundation/text_map.h"

namespace declare {

// What a pass asks of the walker: the visit of one node, and the two node
// kinds the pass declares.
struct ClassPassVisit {
    void (*visit)(CompileContext& context, const SmartPtr& scope, const NodeHandle& node);
    uint32_t declaredKinds[2];
    bool declares(uint32_t kind) const { return kind == declaredKinds[0] || kind == declaredKinds[1]; }
};

class ClassPassSchedule {
public:
    ClassPassSchedule(CompileContext& context, const NodeHandle& body, ClassPassVisit visit);
    ~ClassPassSchedule();
    ClassPassSchedule(const ClassPassSchedule&) = delete;
    ClassPassSchedule& operator=(const ClassPassSchedule&) = delete;

    void runPass(const SmartPtr& scope);
    // The base choice of the item being visited found no base (the
    // candidates it had).
    void noteBase(const NodeHandle& baseNode, const model::IRValueList& candidates);
    // The schedule of the innermost scope being declared, or null.
    static ClassPassSchedule* innermost(CompileContext& context);
    // Wakes the items of every schedule that wait on the name.
    static void wakeWaitersOn(CompileContext& context, std::string_view name);

private:
    using IndexSet = qestl::IndexSet;
    enum State : uint8_t { kVisit, kDone, kWaiting };
    // A scope of a million classes lists a million items, and a chain of
    // them waits on a million names at once: both stay small.
    struct Item {
        Item(NodeHandle declaration, uint32_t suppressions)
            : node(std::move(declaration)),
              // Only whether warnings are suppressed counts.
              suppressions(static_cast<uint16_t>(std::min<uint32_t>(suppressions, UINT16_MAX))) {}
        NodeHandle node;
        uint32_t deferredCount = 0;  // what one visit defers while it waits
        // The base name the item waits on, the same at every wait: a wait
        // slot names its name by an item that waits or waited on it.
        NodeText waitsOn;
        uint32_t nextWaiter = IndexSet::kNone;  // on the same name
        // The number the failed-name tables know waitsOn by (numberGeneration
        // of the HashedText that numbered it), for the visit it wakes to.
        uint32_t waitNumber = 0, waitNumberGeneration = 0;
        uint16_t suppressions;
        uint8_t modeAfter = 0;  // the scope's lookup mode a visit leaves (1 or 3)
        State state = kVisit;
    };
    // The items that wait on a name, linked through nextWaiter from `item`.
    // A name's slot stays once it was waited on, and its list empties when
    // it wakes: `item` then stays as the one that names it.
    struct WaitSlot {
        uint32_t hash = 0;  // waitHashOf the name, kWoken or'd in; 0: a free slot
        uint32_t item = IndexSet::kNone;
    };
    static constexpr uint32_t kWoken = 0x80000000u;
    static_assert(sizeof(Item) == 32 && sizeof(WaitSlot) == 8);

    void wake(const qestl::HashedText& name, uint32_t hash);
    // False when waking the name here can do nothing: no class waits, or
    // the class being visited was woken under that name and no class began
    // waiting since (its declaration notes its name three times).
    bool mayWake(std::string_view name) const {
        return waitNames_ != 0 && (wokenName_.data() == nullptr || !qestl::sameStorage(name, wokenName_) ||
                                   waitsBegun_ != waitsBegunAtWake_);
    }
    // The name hashed; the name of a class being visited is hashed once
    // however often its declaration notes it.
    qestl::HashedText hashedName(std::string_view name);
    size_t placeOf(std::string_view name, uint32_t hash) const;
    WaitSlot* waitSlotOf(std::string_view name, uint32_t hash);
    void list(const NodeHandle& node, uint32_t suppressions);
    void execute(const SmartPtr& scope, uint32_t index);
    bool doneForGood(const Item& item) const;
    void replayModeBefore(uint32_t index);

    // A scope of so many declarations that its tables, and the scope
    // chain's, lie far outside the caches: the places a visit will read are
    // loaded ahead (a chain of a million classes waited for each in turn:
    // bench/hostile_shapes.py inheritance_chain_reversed at 1M).
    static constexpr size_t kManyItems = size_t{1} << 15;
    // The class a waiting item made at its first visit: made a whole pass
    // or more ago, it is attached to its base at the visit it wakes to (a
    // chain written subclass first missed the cache at each).
    static constexpr uint32_t kObjectsLoadedAtWake = 4;
    void loadWaitSlot(uint32_t hash) const;
    void loadLookupOf(const qestl::HashedText& name) const;
    void loadObjectOf(const Item& item) const;
    void loadVisitOf(const Item& item);
    void loadSideWordsAhead(const IndexSet& pass, uint32_t index) const;

    CompileContext& context_;
    ClassPassVisit visit_;
    ClassPassSchedule* parent_;
    std::vector<Item> items_;
    IndexSet passes_[2], waiting_;
    uint32_t thisPass_ = 0;                   // which of passes_; the other is the next pass
    qestl::TableVector<WaitSlot> waitSlots_;  // a power of two
    uint32_t waitNames_ = 0;
    uint64_t waitingCount_ = 0;  // the deferred count of every waiting item
    uint64_t skippedCount_ = 0;  // the same for the items this pass skips
    uint32_t cursor_ = 0;
    int64_t lastExecuted_ = -1;
    // What the base choice noted while an item runs.
    const qeAbstractNode* executingBase_ = nullptr;
    std::string_view executingName_;
    std::optional<qestl::HashedText> executingHashed_;
    std::optional<qestl::HashedText> executingBaseHashed_;  // when loaded ahead
    // The name of the class being visited once woken, and the count of
    // waits begun then.
    std::string_view wokenName_;
    uint64_t waitsBegun_ = 0, waitsBegunAtWake_ = 0;
    NodeText noted_;
    bool notedOnce_ = false;
    bool unpredictable_ = false;
};

}  // namespace declare
