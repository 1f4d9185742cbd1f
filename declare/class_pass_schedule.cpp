// The class pass's scheduler: which items of a scope a pass visits, the
// classes that wait on a base's name, and their waking.
#include "declare/class_pass_schedule.h"

#include <functional>

#include "declare/declaration_entries.h"
#include "declare/declaration_state.h"
#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "model/class_object.h"
#include "source/side_word_look_ahead.h"
#include "source/node_text.h"

using model::IRObject;

namespace declare {
namespace {

// Never 0, which marks a free slot; 31 bits of the name's hash, the top one
// being the wait slot's own.
uint32_t waitHashOf(size_t hash) { return (static_cast<uint32_t>(hash) | 1) & 0x7FFFFFFFu; }
uint32_t hashOfName(std::string_view name) { return waitHashOf(std::hash<std::string_view>()(name)); }

// Whether the node text is these bytes: a short text is stored once, and
// the very same place needs no comparing.
inline bool sameText(const NodeText& text, std::string_view name) {
    const std::string_view bytes = text.view();
    return qestl::sameStorage(bytes, name) || bytes == name;
}

}  // namespace

ClassPassSchedule::ClassPassSchedule(CompileContext& context, const NodeHandle& body, ClassPassVisit visit)
    : context_(context), visit_(visit), parent_(declarationState(context).innermostSchedule) {
    // A scope's declarations are its body's children: a program of a
    // million classes listed them without moving the list twenty times.
    if (body) items_.reserve(body->children.size() + 1);
    list(body, 0);
    for (IndexSet& pass : passes_) pass = IndexSet(items_.size());
    waiting_ = IndexSet(items_.size());
    for (uint32_t i = 0; i < items_.size(); ++i) passes_[thisPass_].insert(i);
    declarationState(context).innermostSchedule = this;
}

ClassPassSchedule::~ClassPassSchedule() { declarationState(context_).innermostSchedule = parent_; }

ClassPassSchedule* ClassPassSchedule::innermost(CompileContext& context) {
    return declarationState(context).innermostSchedule;
}

void ClassPassSchedule::list(const NodeHandle& node, uint32_t suppressions) {
    if (!node) return;
    if (suppressesWarnings(node)) ++suppressions;
    items_.emplace_back(node, suppressions);
    for (const NodeHandle& child : node->children) list(child, suppressions);
}

void ClassPassSchedule::runPass(const SmartPtr& scope) {
    skippedCount_ = waitingCount_;
    lastExecuted_ = -1;
    IndexSet& pass = passes_[thisPass_];
    // A visit adds to this pass only items after it.
    for (uint32_t index = pass.next(0); index != IndexSet::kNone; index = pass.next(uint64_t{index} + 1)) {
        pass.erase(index);
        if (items_.size() >= kManyItems) loadSideWordsAhead(pass, index);
        cursor_ = index;
        replayModeBefore(index);
        execute(scope, index);
        lastExecuted_ = index;
    }
    cursor_ = static_cast<uint32_t>(items_.size());
    replayModeBefore(cursor_);
    context_.diagnostics().deferred().noteUnsettled(static_cast<uint32_t>(skippedCount_));
    thisPass_ ^= 1;
}

// A waiting item skipped since the last visit made would have set the mode
// last.
inline void ClassPassSchedule::replayModeBefore(uint32_t index) {
    ScopeRecord* record = context_.lookup().scopes().innermost();
    if (record == nullptr) return;
    const uint32_t skipped = waiting_.previous(index);
    if (skipped != IndexSet::kNone && static_cast<int64_t>(skipped) > lastExecuted_)
        record->mode = items_[skipped].modeAfter;
}

// The helpers of a pass are inline: each is called from one or two places,
// and out of line they cost a chain of 100k classes written subclass first
// (inheritance_chain_reversed) 0.4% more instructions.

// The loads ahead of a visit (bench/hostile_shapes.py
// inheritance_chain_reversed at 1M): each is inlined where it is asked.
[[gnu::always_inline]] inline void ClassPassSchedule::loadWaitSlot(uint32_t hash) const {
    if (!waitSlots_.empty()) qestl::touch(&waitSlots_[hash & (waitSlots_.size() - 1)]);
}

// Where a lookup of the name in the global scope reads: the image heap's
// place of the name, and the number the tables it fails in know it by.
[[gnu::always_inline]] inline void ClassPassSchedule::loadLookupOf(const qestl::HashedText& name) const {
    context_.lookup().scopes().heaps[0]->prefetchPlace(name);
    context_.failedNameNumbers().prefetch(name);
}

[[gnu::always_inline]] inline void ClassPassSchedule::loadObjectOf(const Item& item) const {
    const IRObject* object = ownerObjectOf(item.node);
    if (object == nullptr) return;
    qestl::touchLines(object, sizeof(model::ClassObject));
    // Declared, it wakes the classes that wait on its own name.
    loadWaitSlot(hashOfName(item.node->text.view()));
}

// A visit reads and sets its node's side word (the class it declares),
// and a class of the global scope takes its place in the image heap's
// index: at every eighth item, the words and the places of the eight items
// after the next eight this pass visits are loaded at once. Each lies on a
// page of its own in a table far outside the caches, and a load waits
// until its page is found; asked together, those searches overlap
// (bench/hostile_shapes.py template_nesting and template_base_recursion at
// 1M, whose first pass visits a million classes). A later pass of a chain
// visits an item or two: it loads nothing it will not visit.
[[gnu::always_inline]] inline void ClassPassSchedule::loadSideWordsAhead(const IndexSet& pass, uint32_t index) const {
    const bool global = context_.lookup().scopes().records.empty();
    qestl::loadBatchAhead(index, sidewords::kAhead, sidewords::kAhead, items_.size(), [&](size_t k) {
        if (!pass.contains(static_cast<uint32_t>(k))) return;
        const qeAbstractNode* node = items_[k].node.get();
        qeAbstractNode::loadSideWordsNear(node);
        if (global && node->kind == NodeKind::Class)
            context_.lookup().scopes().heaps[0]->prefetchPlace(qestl::HashedText(node->text.view()));
    });
}

// The base of a class is looked up by its name, which the class waits on
// when it cannot be declared yet (a class woken had it loaded then); the
// class's own name wakes the classes that wait on it once it is declared.
inline void ClassPassSchedule::loadVisitOf(const Item& item) {
    if (executingBase_ != nullptr && executingBase_->kind == NodeKind::Name) {
        const qestl::HashedText& base = executingBaseHashed_.emplace(executingBase_->text.view());
        if (item.waitsOn.empty()) {
            loadLookupOf(base);
            loadWaitSlot(waitHashOf(base.hash));
        } else if (qestl::sameStorage(item.waitsOn.view(), base.text)) {
            // Numbered at the visit that began the wait: not looked for again.
            base.number = item.waitNumber;
            base.numberGeneration = item.waitNumberGeneration;
        }
    }
    if (waitNames_ != 0 && !item.waitsOn.empty()) loadWaitSlot(waitHashOf(hashedName(executingName_).hash));
}

inline void ClassPassSchedule::execute(const SmartPtr& scope, uint32_t index) {
    Item& item = items_[index];
    const NodeHandle node = item.node;
    executingBase_ = node->kind == NodeKind::Class ? model::IRClass(node).baseList().get() : nullptr;
    executingName_ = node->text.view();
    executingHashed_.reset();
    executingBaseHashed_.reset();
    wokenName_ = {};
    if (items_.size() >= kManyItems) loadVisitOf(item);
    noted_ = {};
    notedOnce_ = false;
    unpredictable_ = false;
    const uint32_t countBefore = context_.diagnostics().deferred().unsettled();
    const uint32_t retryBefore = context_.diagnostics().deferred().declared();
    {
        CompileDiagnostics::SuppressWarnings replayed(context_.diagnostics(), item.suppressions);
        NameLookup& lookup = context_.lookup();
        const qestl::HashedText* outerAhead = lookup.hashedAhead();
        if (executingBaseHashed_) lookup.setHashedAhead(&*executingBaseHashed_);
        visit_.visit(context_, scope, node);
        lookup.setHashedAhead(outerAhead);
    }
    executingBase_ = nullptr;
    executingName_ = {};
    executingHashed_.reset();
    wokenName_ = {};

    if (doneForGood(item)) {
        item.state = kDone;
        return;
    }
    const ScopeRecord* record = context_.lookup().scopes().innermost();
    const bool waits = notedOnce_ && !unpredictable_ && !isDeclared(node) &&
                       (item.waitsOn.empty() || sameText(item.waitsOn, noted_.view())) &&
                       context_.diagnostics().deferred().declared() == retryBefore &&
                       context_.diagnostics().deferred().unsettled() >= countBefore && ownerObjectOf(node) != nullptr &&
                       (node->flags & NodeFlag::Package) == 0;
    if (!waits) {
        item.state = kVisit;
        passes_[thisPass_ ^ 1].insert(index);
        return;
    }
    item.state = kWaiting;
    item.deferredCount = context_.diagnostics().deferred().unsettled() - countBefore;
    item.modeAfter = static_cast<uint8_t>(record != nullptr ? record->mode : 0);
    item.waitsOn = noted_;
    const std::string_view name = noted_.view();
    const bool baseHashed = executingBaseHashed_ && qestl::sameStorage(executingBaseHashed_->text, name);
    if (baseHashed) {
        item.waitNumber = executingBaseHashed_->number;
        item.waitNumberGeneration = executingBaseHashed_->numberGeneration;
    }
    WaitSlot* slot = waitSlotOf(name, baseHashed ? waitHashOf(executingBaseHashed_->hash) : hashOfName(name));
    item.nextWaiter = (slot->hash & kWoken) != 0 ? IndexSet::kNone : slot->item;
    slot->hash &= ~kWoken;
    slot->item = index;
    ++waitsBegun_;
    waiting_.insert(index);
    waitingCount_ += item.deferredCount;
}

inline qestl::HashedText ClassPassSchedule::hashedName(std::string_view name) {
    for (ClassPassSchedule* schedule = this; schedule != nullptr; schedule = schedule->parent_) {
        if (!qestl::sameStorage(schedule->executingName_, name)) continue;
        if (!schedule->executingHashed_) schedule->executingHashed_.emplace(name);
        return *schedule->executingHashed_;
    }
    return qestl::HashedText(name);
}

// A visit that can do nothing any more: a node with nothing to declare, or
// a class declared whose body and every body above it are walked for good.
inline bool ClassPassSchedule::doneForGood(const Item& item) const {
    const NodeHandle& node = item.node;
    if (visit_.declares(node->kind) && !isDeclared(node)) return false;
    IRObject* declared = declaredObjectOf(node);
    if (declared == nullptr) return true;
    if (declared->isPackage()) return false;
    if (!declared->isKind(model::kKindClass)) return true;
    if (declarationState(context_).depth >= declarationState(context_).maxDepth) return false;
    if (model::ClassObject* klass = model::asClass(declared))
        return klass->chainDeclaredNow(declarationState(context_).chainEpoch) && klass->chainRest == nullptr;
    return declared->declarationNode && (declared->declarationNode.flags() & NodeFlag::Walked) != 0;
}

// Where the name's slot is, or the free one it would take. The names are
// node texts, a short one stored once: the same bytes need no comparing.
inline size_t ClassPassSchedule::placeOf(std::string_view name, uint32_t hash) const {
    return qestl::firstFreePlace(waitSlots_, waitSlots_.size() - 1, hash, [&](const WaitSlot& slot) {
        return slot.hash == 0 || ((slot.hash & ~kWoken) == hash && sameText(items_[slot.item].waitsOn, name));
    });
}

inline ClassPassSchedule::WaitSlot* ClassPassSchedule::waitSlotOf(std::string_view name, uint32_t hash) {
    // At most three quarters used: a chain of a million classes waits on a
    // million names at once.
    if (4 * (waitNames_ + 1) > 3 * waitSlots_.size())
        qestl::placeSlotsAgain(
            waitSlots_, waitSlots_.empty() ? 16 : 2 * waitSlots_.size(),
            [](const WaitSlot& slot) { return slot.hash == 0; },
            [](const WaitSlot& slot) { return slot.hash & ~kWoken; });
    WaitSlot& slot = waitSlots_[placeOf(name, hash)];
    if (slot.hash == 0) {
        slot = WaitSlot{hash | kWoken, IndexSet::kNone};
        ++waitNames_;
    }
    return &slot;
}

inline void ClassPassSchedule::wake(const qestl::HashedText& hashed, uint32_t hash) {
    if (waitNames_ == 0) return;
    const std::string_view name = hashed.text;
    WaitSlot& slot = waitSlots_[placeOf(name, hash)];
    uint32_t index = (slot.hash & kWoken) != 0 ? IndexSet::kNone : slot.item;
    if (slot.hash != 0) slot.hash |= kWoken;
    if (executingName_.data() != nullptr && qestl::sameStorage(name, executingName_)) {
        wokenName_ = executingName_;
        waitsBegunAtWake_ = waitsBegun_;
    }
    // The classes woken look the name up again at their next visit, by the
    // number they noted.
    const bool many = items_.size() >= kManyItems;
    if (index != IndexSet::kNone && many) context_.lookup().scopes().heaps[0]->prefetchPlace(hashed);
    uint32_t loaded = 0;
    while (index != IndexSet::kNone) {
        Item& item = items_[index];
        const uint32_t following = item.nextWaiter;
        item.nextWaiter = IndexSet::kNone;
        if (item.state == kWaiting && sameText(item.waitsOn, name)) {
            if (many && loaded++ < kObjectsLoadedAtWake) loadObjectOf(item);
            item.state = kVisit;
            waiting_.erase(index);
            waitingCount_ -= item.deferredCount;
            if (index > cursor_) {
                // Visited later in this pass: not skipped.
                skippedCount_ -= item.deferredCount;
                passes_[thisPass_].insert(index);
            } else {
                passes_[thisPass_ ^ 1].insert(index);
            }
        }
        index = following;
    }
}

// Only a plain name whose candidates are all classes of that very name is
// waited on: then only a class of that name can change the choice.
void ClassPassSchedule::noteBase(const NodeHandle& baseNode, const model::IRValueList& candidates) {
    if (unpredictable_) return;
    if (notedOnce_ || !baseNode || baseNode.get() != executingBase_ || baseNode->kind != NodeKind::Name ||
        !baseNode->operands.empty() || !baseNode->children.empty()) {
        unpredictable_ = true;
        return;
    }
    const std::string_view name = baseNode->text.view();
    for (const model::IRResult& candidate : candidates) {
        const IRObject* object = candidate.objectPtr();
        if (object == nullptr || !object->isKind(model::kKindClass) || object->isInstance() ||
            object->name.view() != name) {
            unpredictable_ = true;
            return;
        }
    }
    notedOnce_ = true;
    noted_ = baseNode->text;
}

void ClassPassSchedule::wakeWaitersOn(CompileContext& context, std::string_view name) {
    ClassPassSchedule* innermost = ClassPassSchedule::innermost(context);
    // Most programs have no class wait: no name is hashed for them.
    bool wakes = false;
    for (auto* schedule = innermost; schedule != nullptr && !wakes; schedule = schedule->parent_)
        wakes = schedule->mayWake(name);
    if (!wakes) return;
    const qestl::HashedText hashed = innermost->hashedName(name);
    const uint32_t hash = waitHashOf(hashed.hash);
    for (auto* schedule = innermost; schedule != nullptr; schedule = schedule->parent_)
        if (schedule->mayWake(name)) schedule->wake(hashed, hash);
}

void noteUndeclarableBase(CompileContext& context, const NodeHandle& baseNode, const model::IRValueList& candidates) {
    if (ClassPassSchedule* schedule = ClassPassSchedule::innermost(context)) schedule->noteBase(baseNode, candidates);
}

}  // namespace declare

void noteClassChanged(CompileContext& context, std::string_view name) {
    declare::ClassPassSchedule::wakeWaitersOn(context, name);
}
