// Name lookup: every visible object of a simple name, from the keyword
// constants through the local scopes, the scope chain, the name index and
// the referenced packages, into the candidate list. Callers choose.
#include <optional>
#include <string>

#include "codegen/name_lookup.h"

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/candidate_rank.h"
#include "model/enclosing_scopes.h"

using model::IRObject;
using model::IRResult;
using model::Operand;
using qestl::SmartPtr;

namespace {

constexpr const char* kCompilerVersion = "4.9";

// A constant made at its place of use.
SmartPtr makeConstant(std::string_view name, const SmartPtr& type, const Operand& value) {
    SmartPtr made = model::makeObject(name, model::kKindVariable, type, 0);
    IRObject* object = model::asObject(made);
    object->setConstantValue(value, true);
    object->flagsB |= model::kFlagNamedConstant;
    return made;
}

// Every visible object of the name in the scope chain: the head object, the
// frame, the innermost object scope and the heaps. The model binds members
// through `context`. Written out in the lookup, its one caller, which every
// identifier passes through.
// Gives the number of candidates listed before the heaps.
[[gnu::always_inline]] inline size_t lookupInScopeChain(ScopeChain& scopes, NameLookup& lookup,
                                                        model::ModelContext& context, const qestl::HashedText& name) {
    IRObject* viewer = scopes.viewerObject();
    // A table that does not list the name adds nothing once a candidate is
    // found: it is passed by without asking the context for the count.
    const auto visit = [&](model::Container& table) {
        const model::IndexList* listed = table.indexesOf(name);
        if (listed != nullptr || lookup.candidates().empty()) table.lookupListed(context, viewer, listed, name, 0, 0);
    };
    if (IRObject* h = model::asObject(scopes.head); h != nullptr && h->name.view() == name.text)
        lookup.addResult(IRResult(scopes.head, Operand(0, model::kExceptionRegister, model::kTypeObject)));
    visit(*scopes.frame);
    if (ScopeRecord* record = scopes.innermost()) {
        IRObject* object = model::asObject(record->object);
        if (object != nullptr) {
            if (record->mode == ScopeRecord::kObjectScope && name.text == "this") {
                // The object a method runs on, as `C.this` names it for its
                // own class.
                lookup.addResult(model::enclosingInstance(*object, 0));
            }
            object->bindIntrinsicMember(context, name, record->mode);
        }
    }
    const size_t beforeHeaps = lookup.candidates().size();
    for (auto& heap : scopes.heaps) visit(*heap);
    return beforeHeaps;
}

// What the lookup listed from `first` on lies outside every scope of the
// code: it ranks behind whatever a scope holds.
void listedAsGlobal(NameLookup& lookup, size_t first) {
    for (size_t i = first; i < lookup.candidates().size(); ++i) lookup.resultsInPlace()[i].reach = model::kReachGlobal;
}

}  // namespace

// ---- the lookup's state

void NameLookup::reset() {
    scopes_.clear();
    globalTemplates_.clear();
    receiver_.reset();
    receiverStack_.clear();
    for (auto& [name, entry] : referencedPackages_)
        if (entry.package) model::detachObjectRef(entry.package);
    referencedPackages_.clear();
    packages_.clear();
    clearResults();
    nameIndex_.clear();
}

SmartPtr NameLookup::viewer() const {
    if (!scopes_.records.empty()) return scopes_.records.back().object;
    return scopes_.frame->owner;
}

void NameLookup::addResult(const IRResult& result) {
    if (firstInLookup(result.objectPtr())) candidates_.pushBack(result);
}

void NameLookup::addResult(IRResult&& result) {
    if (firstInLookup(result.objectPtr())) candidates_.pushBack(std::move(result));
}

void NameLookup::setResults(const IRResult& result) {
    clearResults();
    candidates_.pushBack(result);
}

void NameLookup::setResults(IRResult&& result) {
    clearResults();
    candidates_.pushBack(std::move(result));
}

IRResult& NameLookup::setResultInPlace(const SmartPtr& object) {
    clearResults();
    return candidates_.emplaceBack(object);
}

void NameLookup::clearNonEmptyResults() {
    candidates_.clearKeepingBuffer();
    nearMisses_.clear();
}

void NameLookup::beginLookup() {
    ++generation_;
    deduplicating_ = 1;
    clearResults();
}

void NameLookup::pushReceiver(const SmartPtr& type) {
    receiverStack_.push_back(receiver_);
    receiver_ = type;
}

void NameLookup::popReceiver() {
    if (receiverStack_.empty()) return;
    receiver_ = receiverStack_.back();
    receiverStack_.pop_back();
}

FlagGuard NameLookup::pushFlag(uint8_t value) {
    flagStack_.push_back(valueContext_);
    valueContext_ = value;
    return FlagGuard(this);
}

void FlagGuard::restore() {
    if (lookup_ == nullptr) return;
    if (!lookup_->flagStack_.empty()) {
        lookup_->valueContext_ = lookup_->flagStack_.back();
        lookup_->flagStack_.pop_back();
    }
    if (pushedReceiver_) lookup_->popReceiver();
    lookup_ = nullptr;
}

// ---- lookups

void CompileContext::lookupNameHere(std::string_view name, const model::NodeHandle& node) {
    lookup_.beginLookup();

    // Keyword constants.
    const model::BuiltinTypes& types = builtins();
    SmartPtr constant;
    if (name == "nilptr") {
        if (types.nilConstant) {
            IRResult value(types.nilConstant, codegen::makeNilOperand());
            value.sourceNode = node;
            lookup_.addResult(value);
        }
    } else if (name == "void") {
        if (types.voidType) lookup_.addResult(IRResult(types.voidType));
    } else if (name == "true" || name == "false") {
        if (SmartPtr found = firstMember(tables_.globalObjects(), name))
            lookup_.addResult(IRResult(found, model::asObject(found)->makeObjectOperand()));
    } else if (name.starts_with("__")) {
        // The compiler's own constants, which no other name is asked for.
        if (name == "__file__") {
            constant = makeConstant(name, types.stringType, stringResource(diagnostics_.sourceName(node)));
        } else if (name == "__line__" || name == "__column__") {
            const uint32_t at = !node ? 0 : name == "__line__" ? node->startLine + 1 : node->startColumn + 1;
            constant = makeConstant(name, types.intType, Operand(at, model::kImmInt, model::kTypeInt));
        } else if (name == "__appver__") {
            constant = makeConstant(name, types.stringType, stringResource(fileVersionText()));
        } else if (name == "__appver_long__") {
            constant = makeConstant(name, types.longType,
                                    Operand(parseVersionNumber(fileVersionText()), model::kImmLong, model::kTypeLong));
        } else if (name == "__productver__") {
            constant = makeConstant(name, types.stringType, stringResource(productVersionText()));
        } else if (name == "__productver_long__") {
            constant = makeConstant(name, types.longType,
                                    Operand(productVersionNumber(), model::kImmLong, model::kTypeLong));
        } else if (name == "__k_ver__") {
            constant = makeConstant(name, types.stringType, stringResource(kCompilerVersion));
        }
    }
    if (constant) lookup_.addResult(IRResult(constant, model::asObject(constant)->makeObjectOperand()));
    const qestl::HashedText* ahead = lookup_.hashedAhead();
    if (ahead != nullptr && !qestl::sameStorage(ahead->text, name)) ahead = nullptr;
    // The name hashed ahead is looked up as it is: the number the lookup
    // gives it is left in it.
    std::optional<qestl::HashedText> hashedHere;
    const qestl::HashedText& key = ahead != nullptr ? *ahead : hashedHere.emplace(name);

    // A value whose type is known already (an initialiser, an element of an
    // array initialiser, a cast) looks its names up in that type first: an
    // enum constant can be written without its class. Static members only,
    // as if the type were named: there is no object of it yet.
    if (IRObject* expected = model::asObject(lookup_.receiver());
        expected != nullptr && expected->kind == model::kKindClass && !expected->isArray() && name != "super")
        expected->bindIntrinsicMember(*this, key, model::kLookupStatic | model::kLookupNoEnclosing);

    // Local scopes, innermost first: the first that knows the name.
    const std::vector<NameMap*>& localScopes = lookup_.localScopes();
    for (size_t i = localScopes.size(); i > 0; --i) {
        auto found = localScopes[i - 1]->find(name);
        if (found == localScopes[i - 1]->end()) continue;
        Operand reference;
        reference.setObjectRef(found->second, 0);
        lookup_.addResult(IRResult(found->second, reference));
        break;
    }

    IRObject* viewing = lookup_.scopes().viewerObject();
    const size_t beforeTemplates = lookup_.candidates().size();
    lookup_.globalTemplates().lookupVisible(*this, viewing, key, 0, 0);
    listedAsGlobal(lookup_, beforeTemplates);
    const size_t beforeHeaps = lookupInScopeChain(lookup_.scopes(), lookup_, *this, key);
    for (model::ImportModule* module : tables_.imports().modules()) module->lookupVisible(*this, viewing, key, 0, 0);
    lookupNameIndex(name);
    lookupInImportedPackages(key);
    listedAsGlobal(lookup_, beforeHeaps);
    lookup_.endLookup();
}

void CompileContext::lookupName(std::string_view name, const model::NodeHandle& node) { lookupNameHere(name, node); }

void CompileContext::lookupNodeName(const model::NodeHandle& node) {
    const std::string_view name = node->text.view();
    const qestl::HashedText* outer = lookup_.hashedAhead();
    if (outer != nullptr && qestl::sameStorage(outer->text, name)) return lookupName(name, node);
    const StoredNameHashes::Use hashed(lookup_.storedNames(), name);
    lookup_.setHashedAhead(&*hashed);
    lookupNameHere(name, node);
    lookup_.setHashedAhead(outer);
}

void CompileContext::lookupNameIndex(std::string_view name) {
    if (lookup_.nameIndex().empty()) return;  // as in nearly every compilation: nothing to hash
    auto found = lookup_.nameIndex().find(name);
    if (found == lookup_.nameIndex().end()) return;
    for (const SmartPtr& object : found->second)
        lookup_.addResult(IRResult(object, model::asObject(object)->makeObjectOperand()));
}

void CompileContext::lookupInImportedPackages(const qestl::HashedText& name) {
    for (auto& [packageName, entry] : lookup_.referencedPackages())
        if (IRObject* package = model::asObject(entry.package)) package->bindIntrinsicMember(*this, name, 3);
}

// A template instance is one class for the whole program: whichever class
// names it first (and so owns it), every later use finds it again by its
// instance name, with no access check and no similar-name search.
bool CompileContext::lookupGlobal(std::string_view name) {
    lookup_.clearResults();
    if (const auto* listed = tables_.globalObjects().indexesOf(name))
        for (uint32_t index : *listed)
            addCandidate(
                tables_.globalObjects().bindCandidate(*model::asObject(tables_.globalObjects().members()[index]), 0));
    return !lookup_.candidates().empty();
}

void CompileContext::lookupInScopes(SmartPtr object, std::string_view name) {
    lookup_.clearResults();
    IRObject* viewing = lookup_.scopes().viewerObject();
    for (auto& heap : lookup_.scopes().heaps) heap->lookupVisible(*this, viewing, name, 0, 0);
    if (IRObject* package = model::asObject(object); package != nullptr && package->isPackage())
        package->bindIntrinsicMember(*this, name, 3);
    object.reset();
}

SmartPtr CompileContext::resolveNameStep(const SmartPtr& previous, std::string_view part) {
    if (previous) lookup_.scopes().pushObjectScope(previous);
    lookupName(part, model::NodeHandle());
    model::IRValueList taken;
    lookup_.exchangeResults(taken);
    const IRResult* winner = nullptr;
    model::CandidateRank best;
    bool ambiguous = false;
    for (const IRResult& candidate : taken) {
        IRObject* object = candidate.objectPtr();
        // A class itself, not a value standing for one.
        if (object == nullptr || object->kind != model::kKindClass) continue;
        const model::CandidateRank rank = model::rankOf(candidate);
        if (winner != nullptr && rank == best) {
            ambiguous = true;
            break;
        }
        if (winner == nullptr || rank < best) {
            winner = &candidate;
            best = rank;
        }
    }
    SmartPtr result;
    if (winner != nullptr && !ambiguous) result = SmartPtr(winner->objectPtr()->classRef());
    if (previous) lookup_.scopes().popObjectScope();
    return result;
}

SmartPtr CompileContext::resolveDottedName(std::string_view name) {
    SmartPtr resolved;
    size_t start = 0;
    for (;;) {
        const size_t dot = name.find('.', start);
        const std::string_view part = name.substr(start, dot == std::string_view::npos ? name.npos : dot - start);
        resolved = resolveNameStep(resolved, part);
        if (dot == std::string_view::npos) return resolved;
        start = dot + 1;
    }
}

void CompileContext::bindPackageReferences() {
    for (auto& [name, entry] : lookup_.referencedPackages()) {
        auto found = lookup_.packages().find(name);
        if (found != lookup_.packages().end()) {
            entry.package = found->second;
            continue;
        }
        qestl::qestringA listing;
        appendDidYouMean(*this, listing, entry.node);
        deferError(diag::PackageNotFound, entry.node, listing);
    }
}
