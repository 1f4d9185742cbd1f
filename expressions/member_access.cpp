// Member access a.b, C.this and super.b: each value of the object
// expression is asked for the member, and every member found becomes a
// candidate reached through that value; when none is found, an overloaded
// "." operator of a's class gets the member name as a string.
#include <utility>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "expressions/stores.h"
#include "model/container.h"
#include "model/enclosing_scopes.h"
#include "model/instance_object.h"
#include "model/kept_objects.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kStaticLookup = 5;
constexpr uint32_t kInstanceLookup = 7;
constexpr uint32_t kFunctionScopeBit = 2;
constexpr uint32_t kOwnerMayBeNil = 0x300;

bool isPlainName(const StatementNode& node, std::string_view text) {
    return node && node->operands.empty() && node->text.view() == text;
}

// C.this: the enclosing object named C, counted in steps outward from the
// innermost scope's object. Nothing happens outside an instance method.
void resolveQualifiedThis(CompileContext& context, const StatementNode& objectNode, const StatementNode& node) {
    const ScopeRecord* record = context.lookup().scopes().innermost();
    if (record == nullptr) return;
    model::IRObject* start = model::asObject(record->object);
    if (start == nullptr || start->isStatic() || (record->mode & kFunctionScopeBit) == 0) return;
    bool found = false;
    model::walkOutward(start, [&](model::IRObject& object, uint32_t steps) {
        if (object.getName().view() != objectNode->text.view()) return true;
        object.checkUse(&context, node);
        context.lookup().clearResults();
        context.lookup().nearMisses().clear();
        context.lookup().addResult(model::enclosingInstance(object, steps));
        found = true;
        return false;
    });
    if (!found) context.reportError(diag::ObjectNotFound, node, objectNode->text.view());
}

// The member found through `owner`, as a candidate of its own, made in
// `value` (a new result, where its list keeps it: a result is some forty
// words to move); the owner's value is copied into it, or taken when its
// caller reads it no more.
template <typename Owner>
void memberValue(CompileContext& context, model::IRResult& value, model::IRResult& found, Owner&& owner,
                 bool ownerMayBeNil) {
    const uint64_t lookupRank = owner.addressCode(false);
    model::readThrough(found, owner.operand);
    qestl::SmartPtr instance = model::makeInstance(found.object, std::forward<Owner>(owner),
                                                   context.builtins().classType);
    if (ownerMayBeNil) model::asObject(instance)->modifiers |= model::kModMayNil;
    value.object = std::move(instance);
    value.operand = found.operand;
    // Its code is moved to the value: nothing reads it again (a held
    // member, which may be wrapped again, has none).
    expressions::appendTakenResult(value, found);
    value.storageIndex = lookupRank;
}

bool resolveObjectMember(CompileContext& context, const StatementNode& objectNode, model::IRValueList* given,
                         bool givenTaken, std::string_view member, const StatementNode& node) {
    CalleeMembers* callee = CalleeMembers::claimFor(context, node);
    if (member == "this" && isPlainName(objectNode, objectNode ? objectNode->text.view() : std::string_view())) {
        resolveQualifiedThis(context, objectNode, node);
        return false;
    }
    RecycledValueList owners(context.lookup());
    if (given != nullptr && givenTaken) {
        owners.swap(*given);
    } else if (given != nullptr) {
        owners = *given;
    } else {
        compileStatement(context, objectNode, false);
        context.lookup().takeResults(owners);
    }
    if (owners.empty()) {
        qestl::qestringA listing;
        appendDidYouMean(context, listing, objectNode);
        context.reportError(diag::ObjectNotFound, objectNode, listing);
        return false;
    }
    const bool viaSuper = isPlainName(objectNode, "super");
    // Hashed once for every table of every owner (the member's name lies in
    // a node's stored text).
    const StoredNameHashes::Use hashed(context.lookup().storedNames(), member);
    RecycledValueList members(context.lookup());
    for (model::IRResult& owner : owners) {
        model::IRObject* object = owner.objectPtr();
        if (object == nullptr) continue;  // nothing to look the member up in
        owner.prependOwnerCode();
        expressions::takeOwnerCode(owner);
        context.lookup().clearResults();
        context.lookup().nearMisses().clear();
        uint32_t mode = object->isKind(model::kKindClass) ? kStaticLookup : kInstanceLookup;
        if (viaSuper || object->getName().view() == "$special/_baseclass") mode = kInstanceLookup;
        // A variable offers its own intrinsic members; those of its class
        // come from the class.
        model::IRObject* klass = nullptr;
        uint32_t classMode = mode;
        if (object->kindOf() == model::kKindVariable) {
            klass = model::asObject(object->valueType());
            if (klass == object) klass = nullptr;
            // Reached through a value, a field is read by a load from it.
            if (mode == kInstanceLookup && !viaSuper) classMode |= model::kLookupAccessInstruction;
        }
        // An operator on a plain variable is its class's alone, whose lookup
        // a built-in class may have kept.
        const bool classAlone = klass != nullptr && !OperatorProbeCache::mayOfferOwnMember(*object, member);
        OperatorProbeCache& kept = expressionState(context).operatorProbes;
        if (!classAlone || !kept.replayMembers(context, klass, *hashed, classMode)) {
            object->bindIntrinsicMember(context, *hashed, mode);
            if (klass != nullptr) klass->bindIntrinsicMember(context, *hashed, classMode);
            bindObjectIntrinsic(owner.object, context, member, node);
            if (classAlone) kept.keepMembers(context, klass, *hashed, classMode);
        }
        RecycledValueList found(context.lookup());
        context.lookup().exchangeResults(found);
        const bool mayBeNil = (owner.objectPtr()->modifiers & kOwnerMayBeNil) != 0 && owner.isTransientValue(context);
        if (callee != nullptr && owners.size() == 1 && callee->hold(found, owner, mayBeNil)) continue;
        // The owner goes into its last member's value: nothing reads it after.
        size_t last = found.size();
        while (last > 0 && found[last - 1].objectPtr() == nullptr) --last;
        for (size_t i = 0; i + 1 < last; ++i) {
            if (found[i].objectPtr() != nullptr) memberValue(context, members.emplaceBack(), found[i], owner, mayBeNil);
        }
        if (last > 0) memberValue(context, members.emplaceBack(), found[last - 1], std::move(owner), mayBeNil);
    }
    if (!members.empty() || (callee != nullptr && callee->held())) {
        context.lookup().replaceResults(members);
        return false;
    }
    // No such member: the class's "." operator may take the name. Unless the
    // member is the very operator that fallback would look up on the same
    // values (an instance operator asked of a class named directly, as in
    // `String == s`): it would miss again and again, without end.
    codegen::NearMissList nearMisses;
    nearMisses.swap(context.lookup().nearMisses());
    StatementNode nameNode(emplaceAstNode(node));
    nameNode->kind = NodeKind::StringLiteral;
    nameNode->setText(member);
    model::IRValueList nameValues;
    if (compileToCandidates(context, nameNode, nameValues) && member != operatorOverloadName(node)) {
        IRValueListArray arguments;
        arguments.push_back(std::move(nameValues));
        const std::vector<model::IRValueList>& valueLists = expressionState(context).valueLists;
        if (!valueLists.empty() && !valueLists.back().empty()) arguments.push_back(valueLists.back());
        if (findOperatorOverload(context, owners, arguments, node)) return true;
    }
    context.lookup().nearMisses().swap(nearMisses);
    qestl::qestringA listing;
    dumpScopeSymbols(context, owners, listing);
    appendDidYouMean(context, listing, node);
    context.reportError(diag::MemberNotFound, node, member, listing);
    return false;
}

}  // namespace

struct CalleeMembers::Held {
    model::IRValueList found;
    model::IRResult owner;
    bool ownerMayBeNil = false;
    // Set once every candidate is made: bare() then holds them.
    bool allWrapped = false;
    uint64_t firstSerial = 0;
    size_t madeIndex = SIZE_MAX;
    model::IRResult made;
};

CalleeMembers::CalleeMembers(CompileContext& context, const StatementNode& callee)
    : context_(context), state_(expressionState(context)), outer_(state_.calleeMembers), callee_(callee.get()) {
    state_.calleeMembers = this;
}

CalleeMembers::~CalleeMembers() { close(); }

void CalleeMembers::close() {
    if (state_.calleeMembers == this) state_.calleeMembers = outer_;
    callee_ = nullptr;
}

CalleeMembers* CalleeMembers::claimFor(CompileContext& context, const StatementNode& node) {
    ExpressionState& state = expressionState(context);
    CalleeMembers* asked = state.calleeMembers;
    if (asked == nullptr || asked->callee_ != node.get()) return nullptr;
    state.calleeMembers = asked->outer_;
    asked->callee_ = nullptr;
    return asked;
}

bool CalleeMembers::hold(model::IRValueList& found, model::IRResult& owner, bool ownerMayBeNil) {
    // One member is wrapped for the call whatever happens.
    if (held_ != nullptr || found.size() < 2) return false;
    for (const model::IRResult& entry : found) {
        // A member with code of its own or of its owner has it moved into
        // its candidate as it is wrapped; an instance stands for another.
        const model::IRObject* object = entry.objectPtr();
        if (object == nullptr || object->isInstance() ||
            !(object->isKind(model::kKindFunction) || object->isKind(model::kKindOperator)))
            return false;
        if (!entry.pending.empty() || object->ownerResult.hasPendingCode()) return false;
    }
    held_ = std::make_unique<Held>();
    Held& held = *held_;
    held.found.swap(found);
    held.owner = std::move(owner);
    held.ownerMayBeNil = ownerMayBeNil;
    const uint64_t lookupRank = held.owner.addressCode(false);
    for (model::IRResult& entry : held.found) {
        entry.matchRank = 0;
        entry.storageIndex = lookupRank;
    }
    held.firstSerial = model::serialMark();
    model::restartSerialsAt(held.firstSerial + held.found.size());
    return true;
}

bool CalleeMembers::held() const { return held_ != nullptr && !held_->allWrapped; }

model::IRValueList& CalleeMembers::bare() { return held_->found; }

model::IRResult& CalleeMembers::wrapped(size_t i) {
    Held& held = *held_;
    if (held.madeIndex != i) {
        const uint64_t resume = model::serialMark();
        model::restartSerialsAt(held.firstSerial + i);
        model::IRResult made;
        memberValue(context_, made, held.found[i], held.owner, held.ownerMayBeNil);
        held.made = std::move(made);
        model::restartSerialsAt(resume);
        held.madeIndex = i;
    }
    return held.made;
}

void CalleeMembers::wrapAll(model::IRValueList& out) {
    if (!held()) return;
    Held& held = *held_;
    model::IRValueList all;
    const uint64_t resume = model::serialMark();
    for (size_t k = 0; k < held.found.size(); ++k) {
        if (k == held.madeIndex) {
            all.pushBack(std::move(held.made));
            continue;
        }
        model::restartSerialsAt(held.firstSerial + k);
        memberValue(context_, all.emplaceBack(), held.found[k], held.owner, held.ownerMayBeNil);
    }
    model::restartSerialsAt(resume);
    held.allWrapped = true;
    held.madeIndex = SIZE_MAX;
    out.swap(all);
}

bool resolveMemberAccess(CompileContext& context, const StatementNode& objectNode, model::IRValueList* objectValues,
                         std::string_view member, const StatementNode& node, const model::IRValueList& extraValues,
                         bool objectValuesTaken) {
    std::vector<model::IRValueList>& valueLists = expressionState(context).valueLists;
    valueLists.push_back(extraValues);
    const bool viaOperator = resolveObjectMember(context, objectNode, objectValues, objectValuesTaken, member, node);
    valueLists.pop_back();
    return viaOperator;
}

void compileMemberExpression(CompileContext& context, const StatementNode& node) {
    const StatementNode member = nodeChild(node, 1);
    resolveMemberAccess(context, nodeChild(node, 0), nullptr, member ? member->text.view() : std::string_view(), node,
                        model::IRValueList());
}
