// The declaration walker: two passes over one scope (class-likes until
// nothing new is declared, then the members once), descending into the
// bodies of what was declared, base classes first; and the outer loop that
// repeats the walk of a root until a run declares nothing new.
#include <algorithm>
#include <bit>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

#include "codegen/compile_context.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "declare/declaration_state.h"
#include "foundation/open_slots.h"
#include "model/class_object.h"
#include "options/compile_options.h"
#include "source/node_text.h"

using model::IRObject;

namespace declare {
namespace {

struct CallbackEntry {
    uint32_t kind;
    DeclarationCallback callback;
};

// First match on the node kind; the zero entry ends a table.
constexpr CallbackEntry kClassPass[] = {
    {NodeKind::Class, declareClass},
    {NodeKind::TemplateClass, declareTemplateClass},
    {0, nullptr},
};
constexpr CallbackEntry kMemberPass[] = {
    {NodeKind::Operator, declareOperator},
    {NodeKind::Method, declareFunction},
    {NodeKind::NativeImport, declareNativeImport},
    {NodeKind::NativeFunction, declareNativeFunction},
    {NodeKind::DynamicNativeImport, declareNativeImport},
    {NodeKind::VariableDeclaration, declareVariable},
    {NodeKind::EnumItem, declareConstant},
    {0, nullptr},
};

constexpr uint32_t kMaxDeclarationDepth = 255;

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

DeclarationCallback callbackFor(const CallbackEntry* table, uint32_t kind) {
    for (; table->callback != nullptr; ++table)
        if (table->kind == kind) return table->callback;
    return nullptr;
}

void declareScope(CompileContext& context, const SmartPtr& scope, const NodeHandle& body,
                  const NodeHandle& declaration);

// The body of a class-like declaration node; empty when it has too few
// operands.
NodeHandle bodyOf(const NodeHandle& declaration) {
    if (!declaration) return NodeHandle();
    const size_t at = declaration->kind == NodeKind::TemplateClass ? 2 : 1;
    return declaration->operands.size() > at ? declaration->operands[at] : NodeHandle();
}

void declarePackageBody(CompileContext& context, IRObject& package, const NodeHandle& declaration) {
    if (!package.isKind(model::kKindClass)) return;
    declareSubtree(context, SmartPtr(&package), bodyOf(declaration), declaration);
}

void declareClassBody(CompileContext& context, IRObject& klass) {
    if (!klass.isKind(model::kKindClass)) return;
    model::ClassObject* asKlass = model::asClass(&klass);
    // A chain declared for good: the climb would find every body above
    // walked already, up to its rest (unless too deep, where each step of
    // the climb reports).
    if (asKlass != nullptr && asKlass->chainDeclaredNow() && declarationState(context).depth < kMaxDeclarationDepth) {
        if (asKlass->chainRest != nullptr) declareClassBody(context, *asKlass->chainRest);
        return;
    }
    // Base classes first, up the whole chain.
    if (asKlass != nullptr)
        if (IRObject* base = model::asObject(asKlass->baseClass)) declareClassBody(context, *base);
    const NodeHandle declaration = klass.declarationNode;
    declareSubtree(context, SmartPtr(&klass), bodyOf(declaration), declaration);
    if (asKlass != nullptr) asKlass->noteChainDeclared();
}

bool suppressesWarnings(const NodeHandle& node) {
    if (!node->annotations()) return false;
    for (const NodeHandle& annotation : node->annotations()->operands)
        if (annotation && annotation->text.view() == "SuppressWarnings") return true;
    return false;
}

// The node itself, without its children.
void visitDeclaration(CompileContext& context, const SmartPtr& scope, const NodeHandle& node,
                      const CallbackEntry* table) {
    if (DeclarationCallback callback = callbackFor(table, node->kind)) {
        SmartPtr made = callback(context, scope, node, node->kind);
        setDeclaredObject(node, model::asObject(made));
    }
    if (IRObject* declared = declaredObjectOf(node)) {
        if (declared->isPackage())
            declarePackageBody(context, *declared, node);
        else
            declareClassBody(context, *declared);
    }
}

void walkDeclarations(CompileContext& context, const SmartPtr& scope, const NodeHandle& node,
                      const CallbackEntry* table) {
    if (!node) return;
    CompileDiagnostics::SuppressWarnings suppress(context.diagnostics(), suppressesWarnings(node));
    visitDeclaration(context, scope, node, table);
    // Children only: bodies, parameter lists and initialisers are operands,
    // reached through the callbacks and the body descent above.
    for (size_t i = 0; i < node->children.size(); ++i) {
        const NodeHandle child = node->children[i];
        walkDeclarations(context, scope, child, table);
    }
}

// Item indexes of one class pass: the least from a place on and the
// greatest before one, each in a few word reads. A chain of a million
// classes written subclass first runs a pass per class, each asking both of
// sets that hold most of the items; a balanced tree's walk missed the cache
// at every level.
class IndexSet {
public:
    static constexpr uint32_t kNone = UINT32_MAX;

    explicit IndexSet(size_t size = 0) {
        size_t words = (size + 63) / 64;
        do {
            words = words == 0 ? 1 : words;
            levels_[levelCount_++] = Level{static_cast<uint32_t>(words_.size()), static_cast<uint32_t>(words)};
            words_.resize(words_.size() + words);
            words = (words + 63) / 64;
        } while (levels_[levelCount_ - 1].count > 1);
    }

    bool empty() const { return words_.back() == 0; }

    void insert(uint32_t index) {
        for (uint32_t level = 0; level < levelCount_; ++level, index /= 64) {
            uint64_t& word = wordOf(level, index / 64);
            const bool wasEmpty = word == 0;
            word |= uint64_t{1} << (index % 64);
            if (!wasEmpty) return;
        }
    }

    void erase(uint32_t index) {
        for (uint32_t level = 0; level < levelCount_; ++level, index /= 64) {
            uint64_t& word = wordOf(level, index / 64);
            word &= ~(uint64_t{1} << (index % 64));
            if (word != 0) return;
        }
    }

    // The least index at or after `from`.
    uint32_t next(uint64_t from) const {
        uint32_t level = 0;
        for (;; ++level) {
            if (level == levelCount_) return kNone;
            const uint64_t at = from / 64;
            if (at >= levels_[level].count) return kNone;
            const uint64_t bits = wordOf(level, at) & (~uint64_t{0} << (from % 64));
            if (bits != 0) {
                from = at * 64 + static_cast<uint64_t>(std::countr_zero(bits));
                break;
            }
            from = at + 1;
        }
        for (; level > 0; --level) from = from * 64 + static_cast<uint64_t>(std::countr_zero(wordOf(level - 1, from)));
        return static_cast<uint32_t>(from);
    }

    // The greatest index before `before`.
    uint32_t previous(uint64_t before) const {
        if (before == 0) return kNone;
        uint64_t last = before - 1;
        uint32_t level = 0;
        for (;; ++level) {
            const uint64_t at = last / 64;
            const uint64_t bits = wordOf(level, at) & (~uint64_t{0} >> (63 - last % 64));
            if (bits != 0) {
                last = at * 64 + 63 - static_cast<uint64_t>(std::countl_zero(bits));
                break;
            }
            if (at == 0 || level + 1 == levelCount_) return kNone;
            last = at - 1;
        }
        for (; level > 0; --level)
            last = last * 64 + 63 - static_cast<uint64_t>(std::countl_zero(wordOf(level - 1, last)));
        return static_cast<uint32_t>(last);
    }

private:
    struct Level {
        uint32_t offset;
        uint32_t count;
    };
    uint64_t& wordOf(uint32_t level, uint64_t at) { return words_[levels_[level].offset + at]; }
    uint64_t wordOf(uint32_t level, uint64_t at) const { return words_[levels_[level].offset + at]; }

    // A bit per index, then a bit per word of the level below, up to one word.
    std::vector<uint64_t> words_;
    Level levels_[6];
    uint32_t levelCount_ = 0;
};

// The class pass repeats over a scope until a pass declares nothing new. A
// full walk per pass is quadratic when each pass declares only a few (a
// chain of classes written subclass first declares one per pass), so a
// pass after the first visits only what may turn out otherwise: a class
// whose base could not be declared waits, under the base's name, until a
// class of that name is declared or walked; a declaration done for
// good is not visited again. What a skipped visit would have left (its
// deferred errors counted, the scope's lookup mode) is replayed, and the
// order within a pass is the walk's, so a pass declares what a full walk
// would, in the same order.
//
// The items are the nodes a walk visits, in its order: the body's node and
// its children, depth first (a scope's declarations are a node and its
// siblings, listed as its children); each with the suppressing annotations
// around it, which a full walk counts as it enters and leaves them.
class ClassPassSchedule {
public:
    ClassPassSchedule(CompileContext& context, const NodeHandle& body);
    ~ClassPassSchedule();
    ClassPassSchedule(const ClassPassSchedule&) = delete;
    ClassPassSchedule& operator=(const ClassPassSchedule&) = delete;

    void runPass(const SmartPtr& scope);
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
    void noteBase(const NodeHandle& baseNode, const model::IRValueList& candidates);

    static ClassPassSchedule* innermost(CompileContext& context) {
        return innermost_ != nullptr && &innermost_->context_ == &context ? innermost_ : nullptr;
    }
    ClassPassSchedule* parent() const { return parent_; }

private:
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
    size_t placeOf(std::string_view name, uint32_t hash) const;
    WaitSlot* waitSlotOf(std::string_view name, uint32_t hash);
    // A scope of so many declarations that its tables, and the scope
    // chain's, lie far outside the caches: the places a visit will read are
    // loaded ahead (a chain of a million classes waited for each in turn).
    static constexpr size_t kManyItems = size_t{1} << 15;
    void prefetchWaitSlot(uint32_t hash) const {
        if (!waitSlots_.empty()) __builtin_prefetch(&waitSlots_[hash & (waitSlots_.size() - 1)]);
    }
    void prefetchLookupOf(const qestl::HashedText& name) const;
    // The class a waiting item made at its first visit: made a whole pass
    // or more ago, it is attached to its base at the visit it wakes to (a
    // chain written subclass first missed the cache at each).
    static constexpr uint32_t kObjectsLoadedAtWake = 4;
    void prefetchObjectOf(const Item& item) const {
        const auto* object = reinterpret_cast<const char*>(ownerObjectOf(item.node));
        if (object == nullptr) return;
        for (size_t at = 0; at < sizeof(model::ClassObject); at += 64) __builtin_prefetch(object + at);
        // Declared, it wakes the classes that wait on its own name.
        prefetchWaitSlot(hashOfName(item.node->text.view()));
    }
    void prefetchVisitOf(const Item& item);

    void list(const NodeHandle& node, uint32_t suppressions);
    void execute(const SmartPtr& scope, uint32_t index);
    bool doneForGood(const Item& item) const;
    void replayModeBefore(uint32_t index);

    static inline thread_local ClassPassSchedule* innermost_ = nullptr;

    CompileContext& context_;
    ClassPassSchedule* parent_;
    std::vector<Item> items_;
    IndexSet passes_[2], waiting_;
    uint32_t thisPass_ = 0;            // which of passes_; the other is the next pass
    std::vector<WaitSlot> waitSlots_;  // a power of two
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

ClassPassSchedule::ClassPassSchedule(CompileContext& context, const NodeHandle& body)
    : context_(context), parent_(innermost_) {
    // A scope's declarations are its body's children: a program of a
    // million classes listed them without moving the list twenty times.
    if (body) items_.reserve(body->children.size() + 1);
    list(body, 0);
    for (IndexSet& pass : passes_) pass = IndexSet(items_.size());
    waiting_ = IndexSet(items_.size());
    for (uint32_t i = 0; i < items_.size(); ++i) passes_[thisPass_].insert(i);
    innermost_ = this;
}

void ClassPassSchedule::list(const NodeHandle& node, uint32_t suppressions) {
    if (!node) return;
    if (suppressesWarnings(node)) ++suppressions;
    items_.emplace_back(node, suppressions);
    for (const NodeHandle& child : node->children) list(child, suppressions);
}

ClassPassSchedule::~ClassPassSchedule() { innermost_ = parent_; }

void ClassPassSchedule::runPass(const SmartPtr& scope) {
    skippedCount_ = waitingCount_;
    lastExecuted_ = -1;
    IndexSet& pass = passes_[thisPass_];
    // A visit adds to this pass only items after it.
    for (uint32_t index = pass.next(0); index != IndexSet::kNone; index = pass.next(uint64_t{index} + 1)) {
        pass.erase(index);
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
void ClassPassSchedule::replayModeBefore(uint32_t index) {
    ScopeRecord* record = context_.lookup().scopes().innermost();
    if (record == nullptr) return;
    const uint32_t skipped = waiting_.previous(index);
    if (skipped != IndexSet::kNone && static_cast<int64_t>(skipped) > lastExecuted_)
        record->mode = items_[skipped].modeAfter;
}

void ClassPassSchedule::execute(const SmartPtr& scope, uint32_t index) {
    Item& item = items_[index];
    const NodeHandle node = item.node;
    executingBase_ = node->kind == NodeKind::Class ? model::IRClass(node).baseList().get() : nullptr;
    executingName_ = node->text.view();
    executingHashed_.reset();
    executingBaseHashed_.reset();
    wokenName_ = {};
    if (items_.size() >= kManyItems) prefetchVisitOf(item);
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
        visitDeclaration(context_, scope, node, kClassPass);
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

// The base of a class is looked up by its name, which the class waits on
// when it cannot be declared yet (a class woken had it loaded then); the
// class's own name wakes the classes that wait on it once it is declared.
void ClassPassSchedule::prefetchVisitOf(const Item& item) {
    if (executingBase_ != nullptr && executingBase_->kind == NodeKind::Name) {
        const qestl::HashedText& base = executingBaseHashed_.emplace(executingBase_->text.view());
        if (item.waitsOn.empty()) {
            prefetchLookupOf(base);
            prefetchWaitSlot(waitHashOf(base.hash));
        } else if (qestl::sameStorage(item.waitsOn.view(), base.text)) {
            // Numbered at the visit that began the wait: not looked for again.
            base.number = item.waitNumber;
            base.numberGeneration = item.waitNumberGeneration;
        }
    }
    if (waitNames_ != 0 && !item.waitsOn.empty()) prefetchWaitSlot(waitHashOf(hashedName(executingName_).hash));
}

qestl::HashedText ClassPassSchedule::hashedName(std::string_view name) {
    for (ClassPassSchedule* schedule = this; schedule != nullptr; schedule = schedule->parent_) {
        if (!qestl::sameStorage(schedule->executingName_, name)) continue;
        if (!schedule->executingHashed_) schedule->executingHashed_.emplace(name);
        return *schedule->executingHashed_;
    }
    return qestl::HashedText(name);
}

// Where a lookup of the name in the global scope reads: the image heap's
// place of the name, and the number the tables it fails in know it by.
void ClassPassSchedule::prefetchLookupOf(const qestl::HashedText& name) const {
    context_.lookup().scopes().heaps[0]->prefetchPlace(name);
    model::FailedNames::prefetchNumber(name);
}

// A visit that can do nothing any more: a node with nothing to declare, or
// a class declared whose body and every body above it are walked for good.
bool ClassPassSchedule::doneForGood(const Item& item) const {
    const NodeHandle& node = item.node;
    if (callbackFor(kClassPass, node->kind) != nullptr && !isDeclared(node)) return false;
    IRObject* declared = declaredObjectOf(node);
    if (declared == nullptr) return true;
    if (declared->isPackage()) return false;
    if (!declared->isKind(model::kKindClass)) return true;
    if (declarationState(context_).depth >= kMaxDeclarationDepth) return false;
    if (model::ClassObject* klass = model::asClass(declared))
        return klass->chainDeclaredNow() && klass->chainRest == nullptr;
    const NodeHandle& declaration = declared->declarationNode;
    return declaration && (declaration->flags & NodeFlag::Walked) != 0;
}

// Where the name's slot is, or the free one it would take. The names are
// node texts, a short one stored once: the same bytes need no comparing.
size_t ClassPassSchedule::placeOf(std::string_view name, uint32_t hash) const {
    return qestl::firstFreePlace(waitSlots_, waitSlots_.size() - 1, hash, [&](const WaitSlot& slot) {
        return slot.hash == 0 || ((slot.hash & ~kWoken) == hash && sameText(items_[slot.item].waitsOn, name));
    });
}

ClassPassSchedule::WaitSlot* ClassPassSchedule::waitSlotOf(std::string_view name, uint32_t hash) {
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

void ClassPassSchedule::wake(const qestl::HashedText& hashed, uint32_t hash) {
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
            if (many && loaded++ < kObjectsLoadedAtWake) prefetchObjectOf(item);
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

void declareScope(CompileContext& context, const SmartPtr& scope, const NodeHandle& body,
                  const NodeHandle& declaration) {
    if (declaration) {
        if ((declaration->flags & NodeFlag::Walked) != 0) return;
        // Set now: a base class met during the walk must not walk us again.
        declaration->flags |= NodeFlag::Walked;
        noteClassChanged(context, declaration->text.view());
    }
    DeferredDiagnostics& deferred = context.diagnostics().deferred();
    DeferredDiagnostics::NestedScope nested(deferred);
    if (body) {
        if (scope) context.lookup().scopes().pushObjectScope(scope);
        uint32_t declaredInClassPasses = 0;
        {
            ClassPassSchedule schedule(context, body);
            do {
                deferred.restartCounts();
                schedule.runPass(scope);
                declaredInClassPasses += deferred.declared();
            } while (deferred.declared() != 0);
        }
        walkDeclarations(context, scope, body, kMemberPass);
        deferred.setDeclared(declaredInClassPasses + 2 * deferred.declared());
        if (scope) context.popObjectScope();
    }
    if (declaration) {
        if (deferred.unsettled() == 0) {
            declaration->flags |= NodeFlag::Walked;
            if (model::ClassObject* klass = model::asClass(model::asObject(scope))) {
                klass->buildMethodTables(context);
                // Walked for good: a walked scope is never walked again.
                if (klass->declarationNode.get() == declaration.get()) klass->bodyDeclared = 1;
            }
        } else {
            declaration->flags &= ~NodeFlag::Walked;
        }
        noteClassChanged(context, declaration->text.view());
        if (IRObject* object = model::asObject(scope);
            object != nullptr && object->name.view() != declaration->text.view())
            noteClassChanged(context, object->name.view());
    }
    context.bindPackageReferences();
}

}  // namespace

void noteUndeclarableBase(CompileContext& context, const NodeHandle& baseNode, const model::IRValueList& candidates) {
    if (ClassPassSchedule* schedule = ClassPassSchedule::innermost(context)) schedule->noteBase(baseNode, candidates);
}

IRObject* declaredObjectOf(const NodeHandle& node) {
    return node ? static_cast<IRObject*>(node->declaredObject()) : nullptr;
}

void setDeclaredObject(const NodeHandle& node, IRObject* object) { node->setDeclaredObject(object); }

// A node is given an owner only by bindObjectToNode, which takes a compiled
// object: no run-time check. A class waiting on its base is asked at every
// visit, and the check compared type names (a chain of a million classes
// written subclass first spent 2% of its time in it).
IRObject* ownerObjectOf(const NodeHandle& node) { return node ? static_cast<IRObject*>(node->owner()) : nullptr; }

}  // namespace declare

int declareSubtree(CompileContext& context, const qestl::SmartPtr& scope, const model::NodeHandle& body,
                   const model::NodeHandle& declaration) {
    uint32_t& depth = declarationState(context).depth;
    if (depth >= declare::kMaxDeclarationDepth) {
        context.deferError(diag::ExpansionTooLarge, body);
        context.reportErrorOnce(diag::ExpansionTooLarge, body);
        return 0;
    }
    ++depth;
    declare::declareScope(context, scope, body, declaration);
    --depth;
    return 0;
}

void noteClassChanged(CompileContext& context, std::string_view name) {
    auto* innermost = declare::ClassPassSchedule::innermost(context);
    // Most programs have no class wait: no name is hashed for them.
    bool wakes = false;
    for (auto* schedule = innermost; schedule != nullptr && !wakes; schedule = schedule->parent())
        wakes = schedule->mayWake(name);
    if (!wakes) return;
    const qestl::HashedText hashed = innermost->hashedName(name);
    const uint32_t hash = declare::waitHashOf(hashed.hash);
    for (auto* schedule = innermost; schedule != nullptr; schedule = schedule->parent())
        if (schedule->mayWake(name)) schedule->wake(hashed, hash);
}

void indexUsingDeclarations(CompileContext& context, const model::NodeHandle& node) {
    if (!node) return;
    if (node->kind == NodeKind::Using) {
        for (const model::NodeHandle& name : node->operands) {
            if (!name) continue;
            const qestl::qestringA path = dottedNamePath(name);
            context.lookup().referencedPackages().try_emplace(std::string(path.view()),
                                                              PackageRef{qestl::SmartPtr(), name});
        }
    }
    for (const model::NodeHandle& child : node->children) indexUsingDeclarations(context, child);
}

qestl::qestringA dottedNamePath(const model::NodeHandle& node) {
    qestl::qestringA path;
    if (!node) return path;
    if (!node->operands.empty()) path = dottedNamePath(node->operands[0]);
    path.append("/");
    path.append(node->text);
    return path;
}

void CompileContext::declareUntilStable(model::IRObject* scope, const model::NodeHandle& body,
                                        const model::NodeHandle& declaration) {
    DeferredDiagnostics& deferred = diagnostics_.deferred();
    for (;;) {
        deferred.clear();
        declareSubtree(*this, qestl::SmartPtr(scope), body, declaration);
        if (deferred.declared() == 0) break;
        // A run that declared and left nothing unsettled made every
        // declaration it met: another would find each made, declare nothing
        // and defer nothing (a million classes walked once more for that).
        if (deferred.unsettled() == 0) {
            deferred.clear();
            break;
        }
    }
    reportDeferred();
}
