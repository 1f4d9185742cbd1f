// Choosing the method a call goes to: exact matches of the argument types
// first, then a trial binding of every candidate; `new` on a class chooses
// among its constructors or constructs it by default.
#include <cstdint>
#include <vector>

#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/array_object.h"
#include "model/candidate_rank.h"
#include "model/class_object.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kByReference = 0x1;
constexpr uint32_t kMatchShift = 5;
constexpr uint32_t kNewFlag = 0x2;
constexpr uint32_t kModifierBits = 0x70;

// The object a candidate stands for (an instance stands for its class).
model::IRObject* standsFor(const model::IRResult& candidate) {
    model::IRObject* object = candidate.objectPtr();
    return object != nullptr ? object->classRef() : nullptr;
}

// A committed callee, and the class a `new` made, count as used, as a
// class that a record names does: the unused-declaration warnings run
// before the image is written. Marking only; the call's own use checks
// give the warnings.
void markCommitted(const model::IRResult& candidate, const StatementNode& node) {
    if (model::IRObject* object = candidate.objectPtr()) object->checkUse(nullptr, node);
}

bool isMethod(const model::IRObject* object) {
    return object != nullptr && (object->isKind(model::kKindFunction) || object->isKind(model::kKindOperator));
}

bool calleeIsSuper(const StatementNode& node) {
    const StatementNode callee = nodeChild(node, 0);
    return callee && callee->text.view() == "super";
}

// Does the method take part in a call that does (not) want a constructor?
// Inlined: the exact match asks it of every candidate (a method with
// thousands of overloads).
[[gnu::always_inline]] inline bool passesFilter(CompileContext& context, const model::IRObject& method,
                                                bool constructorWanted, const StatementNode& node) {
    const bool constructor = method.isConstructor();
    if (constructor == constructorWanted) return true;
    return constructor && context.lookup().scopes().declarationMode() == kDeclareLocalOnce && calleeIsSuper(node);
}

struct Ranked {
    uint64_t match;
    model::CandidateRank lookup;
};
constexpr size_t kFullTie = SIZE_MAX;

// The entry of the lowest match rank, then the lowest lookup rank, among
// those offered; kFullTie when two share both. Offered one at a time: the
// exact match of a call ranks its entries as it finds them.
class LowestRanked {
public:
    void offer(size_t entry, const Ranked& rank) {
        if (best_ == kFullTie) {
            best_ = entry;
            rank_ = rank;
            return;
        }
        if (rank.match < rank_.match || (rank.match == rank_.match && rank.lookup < rank_.lookup)) {
            best_ = entry;
            rank_ = rank;
            tie_ = false;
        } else if (rank.match == rank_.match && rank.lookup == rank_.lookup) {
            tie_ = true;
        }
    }
    bool offered() const { return best_ != kFullTie; }
    size_t best() const { return tie_ ? kFullTie : best_; }

private:
    size_t best_ = kFullTie;
    Ranked rank_{};
    bool tie_ = false;
};

// Do the arguments' types equal the parameters' exactly? The rank records
// how each argument value was reached.
bool matchesExactly(model::IRObject& method, IRValueListArray& arguments, uint64_t& rank) {
    if (method.parameterCount() != arguments.size()) return false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        model::IRObject* parameter = model::asObject(method.parameter(i));
        model::IRObject* type = parameter != nullptr ? model::asObject(parameter->valueType()) : nullptr;
        if (type == nullptr) return false;
        const bool byReference = (parameter->modifiers & kByReference) != 0;
        bool matched = false;
        for (const model::IRResult& argument : arguments[i]) {
            model::IRObject* value = argument.objectPtr();
            if (value == nullptr) continue;
            rank = (rank << kMatchShift) | argument.addressCode(false);
            if (!model::sameTypeRefs(model::asObject(value->valueType()), type)) continue;
            if (byReference && (value->isNamedConstant() || value->isConst())) continue;
            matched = true;
            break;
        }
        if (!matched) return false;
    }
    return true;
}

bool sameOwners(model::IRObject& a, model::IRObject& b) {
    model::IRObject* first = a.ownerObject();
    model::IRObject* second = b.ownerObject();
    return first == nullptr || second == nullptr || first->sameType(second);
}

bool isAccessible(CompileContext& context, model::IRObject& method) {
    model::IRObject* owner = method.ownerObject();
    model::ClassObject* current = context.lookup().scopes().innermostClass();
    if (current == nullptr) return owner == nullptr;
    return owner != nullptr && model::convertible(&context, current, qestl::SmartPtr(owner), true);
}

// Phase 1; true when it committed a method (`committed` then holds the
// outcome). Candidates that are a callee's bare members are wrapped when
// chosen.
bool tryExactMatches(CompileContext& context, const model::IRResult* receiver, model::IRValueList& candidates,
                     IRValueListArray& arguments, bool constructorWanted, const StatementNode& node, bool& committed,
                     CalleeMembers* bare) {
    LowestRanked listed;
    model::IRResult* special = nullptr;
    bool accessibleTaken = false;
    // Offered before any accessible one was: whether it is accessible
    // matters only to the exact matches after it, and is asked when one
    // comes (most calls match one method exactly; the answer depends on
    // nothing the loop changes).
    model::IRObject* accessUnasked = nullptr;
    size_t exactCount = 0;
    model::IRObject* firstExact = nullptr;
    for (model::IRResult& candidate : candidates) {
        model::IRObject* method = standsFor(candidate);
        if (!isMethod(method) || !passesFilter(context, *method, constructorWanted, node)) continue;
        uint64_t rank = candidate.matchRank;
        if (!matchesExactly(*method, arguments, rank)) continue;
        if (exactCount == 1 && !sameOwners(*firstExact, *method)) continue;
        if (exactCount++ == 0) firstExact = method;
        if (!method->getName().empty() && method->getName().view()[0] == '$') {
            special = &candidate;
            continue;
        }
        if (accessUnasked != nullptr) {
            accessibleTaken = isAccessible(context, *accessUnasked);
            accessUnasked = nullptr;
        }
        if (accessibleTaken) {
            if (!isAccessible(context, *method)) continue;
        } else {
            accessUnasked = method;
        }
        listed.offer(static_cast<size_t>(&candidate - candidates.begin()),
                     Ranked{rank, model::rankOf(candidate.storageIndex, candidate)});
    }
    model::IRResult* chosen = special;
    if (listed.offered()) {
        const size_t best = listed.best();
        if (best == kFullTie) return false;
        chosen = &candidates[best];
    }
    if (chosen == nullptr) return false;
    if (bare != nullptr && bare->held()) chosen = &bare->wrapped(static_cast<size_t>(chosen - candidates.begin()));
    committed = compileMethodCallOrIntrinsic(context, receiver, *chosen, arguments, constructorWanted, node);
    if (committed) markCommitted(*chosen, node);
    return true;
}

// The class's constructors, or its default construction; false when
// nothing was constructed.
bool instantiate(CompileContext& context, model::IRResult& classCandidate, IRValueListArray& arguments,
                 const StatementNode& node, ConstructorListing& tried, bool& stop) {
    model::IRObject* object = standsFor(classCandidate);
    auto* klass = model::asClass(object);
    if (klass == nullptr || object->isInstance() || object->isPackage() || object->isEnum()) {
        context.reportError(diag::NotInstantiable, node);
        stop = true;
        return false;
    }
    std::vector<qestl::SmartPtr> abstractMethods;
    if (klass->collectAbstractMethods(abstractMethods)) {
        model::IRValueList methods;
        for (const qestl::SmartPtr& method : abstractMethods)
            methods.pushBack(model::IRResult(method, model::asObject(method)->makeObjectOperand()));
        qestl::qestringA listing;
        appendCandidateList(methods, listing);
        context.reportError(diag::AbstractInstance, node, klass->displayName(), klass->linkName(), listing);
        stop = true;
        return false;
    }

    context.lookup().clearResults();
    klass->resolveMember(context, klass->name.view(), model::kLookupInstance, 0);
    model::IRValueList constructors;
    context.lookup().takeResults(constructors);
    tried.add(constructors);
    model::IRResult classValue = classCandidate;
    if (resolveAndCompileCall(context, &classValue, constructors, arguments, true, node, tried)) return true;
    if (!arguments.empty() || !constructors.empty()) return false;

    context.lookup().clearResults();
    klass->dynamicMethods.collectByName(context, klass->name.view(), 0);
    model::IRValueList hidden;
    context.lookup().takeResults(hidden);
    if (!hidden.empty()) {
        qestl::qestringA listing;
        describeMethodCandidates(hidden, listing);
        context.reportError(diag::ConstructorInaccessible, node, listing);
        stop = true;
        return false;
    }

    // Default construction: allocate, run the instance hook, construct
    // the bases.
    const qestl::SmartPtr classRef(object);
    qestl::SmartPtr made = model::makeObject("", model::kKindVariable, classRef, 0);
    model::IRObject* value = model::asObject(made);
    value->modifiers |= (node->flags & kModifierBits) | model::kStateDefinite;
    model::IRResult result(made, codegen::makeEaxOperand(object));
    result.sourceNode = node;
    const qestl::SmartPtr owner = context.frameOwner();
    result.appendResult(classCandidate);
    result.appendInstruction(result.pending,
                             codegen::makeInstructionWithOperand(model::kOpAlloc, classCandidate.operand), owner, node);
    if (!isNewable(*object)) {
        context.reportError(diag::NotNewable, node);
        stop = true;
        return false;
    }
    model::IRResult hooked;
    object->runInstanceHook(context, hooked, node);
    if (context.diagnostics().hasErrors()) {
        stop = true;
        return false;
    }
    result.appendCodeAndStates(hooked);
    if (!emitBaseConstructorCalls(classRef, context, result, node)) {
        context.reportError(diag::NoBaseConstructor, node);
        stop = true;
        return false;
    }
    context.lookup().setResults(std::move(result));
    return true;
}

// What trying one candidate of a call came to.
enum class Trial { Passed, Yielded, Stop };

// One candidate tried with the arguments: a method called, or a class made
// for "new". Yielded: its values are the lookup's results (a method whose
// call failed yields them too when it left several). Stop: an error that
// ends the call. Inlined into both trials below, each call's hot path.
[[gnu::always_inline]] inline Trial tryCandidate(CompileContext& context, const model::IRResult* receiver,
                                                 model::IRResult& candidate, IRValueListArray& arguments,
                                                 bool constructorWanted, const StatementNode& node,
                                                 ConstructorListing& tried) {
    model::IRObject* object = standsFor(candidate);
    if (object == nullptr) return Trial::Passed;
    if (isMethod(object)) {
        if (!passesFilter(context, *object, constructorWanted, node)) return Trial::Passed;
        context.lookup().clearResults();
        const bool succeeded = compileMethodCallOrIntrinsic(context, receiver, candidate, arguments, constructorWanted,
                                                            node);
        return succeeded || context.lookup().candidates().size() > 1 ? Trial::Yielded : Trial::Passed;
    }
    if (!object->isKind(model::kKindClass) || (node->flags & kNewFlag) == 0) return Trial::Passed;
    bool stop = false;
    const bool succeeded = instantiate(context, candidate, arguments, node, tried, stop);
    if (stop) return Trial::Stop;
    return succeeded ? Trial::Yielded : Trial::Passed;
}

// The trial of the one candidate of a call (an operator's one overload,
// most methods): what the general trial below gives for a list of one, its
// values left where the binding put them rather than gathered and ranked.
bool bindOnlyCandidate(CompileContext& context, const model::IRResult* receiver, model::IRResult& candidate,
                       IRValueListArray& arguments, bool constructorWanted, const StatementNode& node,
                       ConstructorListing& tried) {
    if (tryCandidate(context, receiver, candidate, arguments, constructorWanted, node, tried) != Trial::Yielded) {
        context.lookup().clearResults();
        return false;
    }
    // Values of one candidate tie with each other: only a lone one commits it.
    model::IRValueList results;
    context.lookup().takeResults(results);
    if (results.size() == 1) markCommitted(candidate, node);
    // Added again as the general trial adds them (a lookup under way notes
    // each object once).
    for (model::IRResult& result : results) context.lookup().addResult(std::move(result));
    return !context.lookup().candidates().empty();
}

}  // namespace

qestl::qestringA ConstructorListing::describe() const {
    qestl::qestringA text;
    for (const model::IRValueList& constructors : lists_) describeMethodCandidates(constructors, text);
    return text;
}

bool resolveAndCompileCall(CompileContext& context, const model::IRResult* receiver, model::IRValueList& candidates,
                           IRValueListArray& arguments, bool constructorWanted, const StatementNode& node,
                           ConstructorListing& tried, CalleeMembers* bare) {
    // Binding empties the context's candidates: never work on them.
    model::IRValueList own;
    if (&candidates == &context.lookup().candidates()) {
        context.lookup().exchangeResults(own);
        return resolveAndCompileCall(context, receiver, own, arguments, constructorWanted, node, tried, bare);
    }
    context.lookup().clearResults();
    bool committed = false;
    if (tryExactMatches(context, receiver, candidates, arguments, constructorWanted, node, committed, bare))
        return committed;
    if (bare != nullptr) bare->wrapAll(candidates);
    // Every candidate below binds the same arguments, and binding takes the
    // code that yields an argument's object out of that object: taken into
    // the arguments now, it goes with each trial instead of the first.
    for (model::IRValueList& argument : arguments)
        for (model::IRResult& value : argument) value.prependOwnerCode();

    if (candidates.size() == 1)
        return bindOnlyCandidate(context, receiver, candidates[0], arguments, constructorWanted, node, tried);

    // The candidates that yielded a value (read for their ranks and object
    // alone), by their place in the list.
    std::vector<size_t> chosen;
    model::IRValueList results;
    for (model::IRResult& candidate : candidates) {
        const Trial trial = tryCandidate(context, receiver, candidate, arguments, constructorWanted, node, tried);
        if (trial == Trial::Stop) {
            context.lookup().clearResults();
            return false;
        }
        if (trial == Trial::Passed) continue;
        for (model::IRResult& result : context.lookup().resultsInPlace()) {
            results.pushBack(std::move(result));
            chosen.push_back(static_cast<size_t>(&candidate - candidates.begin()));
        }
        context.lookup().clearResults();
    }
    if (chosen.size() > 1) {
        LowestRanked ranks;
        for (size_t i = 0; i < chosen.size(); ++i) {
            const model::IRResult& candidate = candidates[chosen[i]];
            ranks.offer(i, Ranked{candidate.matchRank, model::rankOf(candidate.storageIndex, candidate)});
        }
        const size_t best = ranks.best();
        if (best != kFullTie) {
            model::IRResult kept = std::move(results[best]);
            results.clear();
            results.pushBack(std::move(kept));
            markCommitted(candidates[chosen[best]], node);
        }
    } else if (chosen.size() == 1) {
        markCommitted(candidates[chosen[0]], node);
    }
    context.lookup().clearResults();
    for (model::IRResult& result : results) context.lookup().addResult(std::move(result));
    return !context.lookup().candidates().empty();
}
