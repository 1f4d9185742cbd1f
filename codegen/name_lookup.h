// The state of name lookup: the scope chain, the local scopes of template
// bindings, the candidates a lookup found and the near misses it noted, the
// type a value is expected to have (looked in first), the packages and the
// name index. The lookups themselves are entries of the compile context,
// which binds what they find through the model.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "codegen/near_misses.h"
#include "codegen/scope_chain.h"
#include "codegen/stored_name_hashes.h"
#include "foundation/rbtree.h"
#include "foundation/smart_ptr.h"
#include "model/container.h"
#include "model/ir_result.h"

// Names ordered by length, then bytes.
using ByLengthThenBytes = qestl::LengthThenBytesLess;
using NameMap = std::map<std::string, qestl::SmartPtr, ByLengthThenBytes>;

struct PackageRef {
    qestl::SmartPtr package;  // empty until bound
    model::NodeHandle node;
};

class NameLookup;

// Restores the value-context flag (and the expected type when it pushed
// one).
class FlagGuard {
public:
    explicit FlagGuard(NameLookup* lookup, bool pushedReceiver = false)
        : lookup_(lookup), pushedReceiver_(pushedReceiver) {}
    FlagGuard(FlagGuard&& other) noexcept : lookup_(other.lookup_), pushedReceiver_(other.pushedReceiver_) {
        other.lookup_ = nullptr;
    }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;
    ~FlagGuard() { restore(); }
    void restore();

private:
    NameLookup* lookup_;
    bool pushedReceiver_;
};

class NameLookup {
public:
    // Every lookup passes the global templates first, and most fail there.
    NameLookup() { globalTemplates_.pickNearMissesAtFirstFailure(); }
    NameLookup(const NameLookup&) = delete;
    NameLookup& operator=(const NameLookup&) = delete;

    // Empties every table and the scope chain.
    void reset();

    ScopeChain& scopes() { return scopes_; }
    const ScopeChain& scopes() const { return scopes_; }
    // The object whose view decides what is visible: the innermost object
    // scope's, or the frame's owner.
    qestl::SmartPtr viewer() const;

    // ---- candidates: what the last lookup or compiled expression left.
    // Read through candidates(); a list leaves or enters only through the
    // calls below, each one step of the protocol every construct keeps.
    const model::IRValueList& candidates() const { return candidates_; }
    // Takes the results into `into` and clears the list and its near misses
    // (what `into` held goes with them; the list keeps its room).
    void takeResults(model::IRValueList& into) {
        candidates_.swap(into);
        clearResults();
        if (candidates_.data() == nullptr) takeSpareBuffer();
    }
    // Clears the results, then makes `list` the results (`list` is left
    // empty).
    void replaceResults(model::IRValueList& list) {
        clearResults();
        candidates_.swap(list);
    }
    // Swaps the results with `list`, the near misses kept for a message a
    // later step may give.
    void exchangeResults(model::IRValueList& list) {
        candidates_.swap(list);
        if (candidates_.data() == nullptr) takeSpareBuffer();
    }
    // Keeps the buffer of a list read no more (its elements destroyed) for
    // the next list handed away: nearly every expression hands the lookup's
    // list to its caller, and the next lookup made a new one for each.
    void recycle(model::IRValueList& list) {
        if (list.data() == nullptr || list.isBorrowed() || spareCount_ == kSpareBuffers) return;
        list.clearKeepingBuffer();
        spares_[spareCount_++].swap(list);
    }
    // The results where they lie, for a step that marks them or moves them
    // out before it clears them.
    model::IRValueList& resultsInPlace() { return candidates_; }
    codegen::NearMissList& nearMisses() { return nearMisses_; }
    // Adds a candidate; during a lookup an object met twice is kept once.
    void addResult(const model::IRResult& result);
    void addResult(model::IRResult&& result);
    // A candidate holding `object` alone, made in place for the caller to
    // finish; null when the lookup has the object already.
    // Inline: every member a lookup binds is placed so.
    model::IRResult* placeResult(const qestl::SmartPtr& object) {
        return firstInLookup(model::asObject(object)) ? &candidates_.emplaceBack(object) : nullptr;
    }
    void setResults(const model::IRResult& result);
    void setResults(model::IRResult&& result);
    // The same for a result holding `object`, made where the list keeps it
    // for the caller to finish: a result is some forty words to move. The
    // caller looks nothing up while it holds the reference.
    model::IRResult& setResultInPlace(const qestl::SmartPtr& object);
    // Most calls find nothing to clear: that is asked inline.
    void clearResults() {
        if (candidates_.empty() && !candidates_.isBorrowed() && nearMisses_.clearAlready()) return;
        clearNonEmptyResults();
    }
    // A lookup starts a new generation, in which each object is added once.
    void beginLookup();
    void endLookup() { deduplicating_ = 0; }
    uint64_t generation() const { return generation_; }

    // ---- the type a value is expected to have, and the value-context flag
    const qestl::SmartPtr& receiver() const { return receiver_; }
    void pushReceiver(const qestl::SmartPtr& type);
    void popReceiver();
    FlagGuard pushFlag(uint8_t value);
    uint8_t valueContext() const { return valueContext_; }

    // Makes `type` the expected type until the end of its scope.
    class ExpectedType {
    public:
        ExpectedType(NameLookup& lookup, const qestl::SmartPtr& type) : lookup_(lookup) { lookup.pushReceiver(type); }
        ~ExpectedType() { lookup_.popReceiver(); }
        ExpectedType(const ExpectedType&) = delete;
        ExpectedType& operator=(const ExpectedType&) = delete;

    private:
        NameLookup& lookup_;
    };

    // No type is expected until the end of its scope.
    class ExpectedTypeHidden {
    public:
        explicit ExpectedTypeHidden(NameLookup& lookup) : lookup_(lookup), saved_(std::move(lookup.receiver_)) {
            lookup.receiver_.reset();
        }
        ~ExpectedTypeHidden() { lookup_.receiver_ = saved_; }
        ExpectedTypeHidden(const ExpectedTypeHidden&) = delete;
        ExpectedTypeHidden& operator=(const ExpectedTypeHidden&) = delete;

    private:
        NameLookup& lookup_;
        qestl::SmartPtr saved_;
    };

    // ---- names
    // Local scopes (not owned), innermost last: the first that knows a
    // name answers.
    std::vector<NameMap*>& localScopes() { return localScopes_; }
    model::Container& globalTemplates() { return globalTemplates_; }
    std::map<std::string, qestl::SmartPtr, ByLengthThenBytes>& packages() { return packages_; }
    std::map<std::string, PackageRef, ByLengthThenBytes>& referencedPackages() { return referencedPackages_; }
    std::map<std::string, qestl::SmartPtrVector, ByLengthThenBytes>& nameIndex() { return nameIndex_; }
    // A name hashed, and perhaps numbered, before it is looked up (not
    // owned): the type resolution that looks up those very bytes takes it
    // as it is, and the lookup leaves in it the number it gave. Empty most
    // of the time.
    const qestl::HashedText* hashedAhead() const { return hashedAhead_; }
    void setHashedAhead(const qestl::HashedText* name) { hashedAhead_ = name; }
    // The names of nodes, as they were hashed and numbered the last time.
    StoredNameHashes& storedNames() { return storedNames_; }

private:
    friend class FlagGuard;

    // Whether the result's object is new to this lookup (and marks it met).
    bool firstInLookup(model::IRObject* object) {
        if (deduplicating_ == 0 || object == nullptr) return true;
        if (object->lookupStamp == generation_) return false;
        object->noteWrite();
        object->lookupStamp = generation_;
        return true;
    }
    void clearNonEmptyResults();

    ScopeChain scopes_;
    std::vector<NameMap*> localScopes_;  // not owned
    model::IRValueList candidates_;
    codegen::NearMissList nearMisses_;
    // Empty lists with room, for the candidates (recycle).
    static constexpr uint8_t kSpareBuffers = 8;
    model::IRValueList spares_[kSpareBuffers];
    uint8_t spareCount_ = 0;
    uint8_t deduplicating_ = 0;
    uint64_t generation_ = 0;
    qestl::SmartPtr receiver_;
    std::vector<qestl::SmartPtr> receiverStack_;
    std::vector<uint8_t> flagStack_;
    uint8_t valueContext_ = 0;
    const qestl::HashedText* hashedAhead_ = nullptr;
    StoredNameHashes storedNames_;
    model::Container globalTemplates_{model::kStaticMethods};
    std::map<std::string, PackageRef, ByLengthThenBytes> referencedPackages_;
    std::map<std::string, qestl::SmartPtr, ByLengthThenBytes> packages_;
    std::map<std::string, qestl::SmartPtrVector, ByLengthThenBytes> nameIndex_;

    void takeSpareBuffer() {
        if (spareCount_ != 0) candidates_.swap(spares_[--spareCount_]);
    }
};

// A list that takes the lookup's results and gives its buffer back to the
// lookup when it goes (NameLookup::recycle).
class RecycledValueList : public model::IRValueList {
public:
    explicit RecycledValueList(NameLookup& lookup) : lookup_(lookup) {}
    RecycledValueList(const RecycledValueList&) = delete;
    RecycledValueList& operator=(const RecycledValueList&) = delete;
    using model::IRValueList::operator=;
    ~RecycledValueList() { lookup_.recycle(*this); }

private:
    NameLookup& lookup_;
};
