// Type subtrees to the objects they may denote, and the choice and checks of
// a base class. Each exists for both passes: the declaration pass defers its
// errors (a later cycle may cure them), the compile pass reports at once.
#include <algorithm>

#include "codegen/compile_utilities.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/candidate_rank.h"
#include "model/array_object.h"
#include "model/class_object.h"
#include "model/instance_object.h"
#include "statements/compile_walk.h"

using model::IRObject;
using model::IRResult;
using model::IRValueList;

namespace declare {

model::IRValueList takeCandidates(CompileContext& context) {
    IRValueList taken;
    context.lookup().exchangeResults(taken);
    return taken;
}

SmartPtr firstType(const IRValueList& candidates, size_t* typeCount) {
    SmartPtr first;
    size_t count = 0;
    for (const IRResult& candidate : candidates) {
        IRObject* object = candidate.objectPtr();
        if (!isTypeObject(object)) continue;
        // A nested class reached through a dotted name is its class.
        if (count++ == 0) first = SmartPtr(object->classRef());
    }
    if (typeCount != nullptr) *typeCount = count;
    return first;
}

namespace {

bool isDottedName(const NodeHandle& node) { return node->text.view() == "." && node->operands.size() == 2; }

void resolveType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool declarationPass);

// The members of that name of each qualifier candidate; a package's members
// stand as they are, any other's are seen through the qualifier.
void resolveDottedName(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool declarationPass) {
    resolveType(context, scope, node->operands[0], declarationPass);
    const IRValueList qualifiers = takeCandidates(context);
    const NodeHandle& member = node->operands[1];
    const std::string_view name = member ? member->text.view() : std::string_view();
    IRValueList collected;
    for (const IRResult& qualifier : qualifiers) {
        IRObject* object = qualifier.objectPtr();
        if (object == nullptr) continue;
        context.lookup().clearResults();
        object->bindIntrinsicMember(context, name, model::kLookupStatic | model::kLookupInstance);
        IRValueList members = takeCandidates(context);
        for (IRResult& found : members) {
            if (object->isPackage() || found.objectPtr() == nullptr) {
                collected.pushBack(found);
                continue;
            }
            SmartPtr wrapper = model::adoptLive(
                new model::InstanceObject(SmartPtr(found.objectPtr()), qualifier, context.builtins().classType));
            IRResult wrapped(wrapper);
            wrapped.appendResult(found);
            collected.pushBack(wrapped);
        }
    }
    context.lookup().replaceResults(collected);
}

void resolveArrayType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool declarationPass) {
    resolveType(context, scope, node->operands[0], declarationPass);
    IRValueList elements = takeCandidates(context);
    IRValueList arrays;
    for (const IRResult& element : elements) {
        IRObject* object = element.objectPtr();
        if (!isTypeObject(object)) continue;
        if (node->operands.size() == 1)
            arrays.pushBack(IRResult(context.arrayTypeOf(SmartPtr(object))));
        else
            arrays.pushBack(element);
    }
    context.lookup().exchangeResults(arrays);
}

void resolveTemplateType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool declarationPass) {
    const NodeHandle nameNode = node->operands.empty() ? NodeHandle() : node->operands[0];
    resolveType(context, scope, nameNode, declarationPass);
    IRValueList found = takeCandidates(context);
    SmartPtr templ;
    size_t templates = 0;
    for (const IRResult& candidate : found) {
        IRObject* object = candidate.objectPtr();
        if (object == nullptr || !object->isKind(model::kKindTemplateClass)) continue;
        if (templates++ == 0) templ = SmartPtr(object->classRef());
    }
    if (templates == 1) {
        if (declarationPass)
            declareTemplateInstance(context, scope, templ, node, false);
        else
            instantiateTemplate(context, templ, node);
        return;
    }
    qestl::qestringA listing;
    if (declarationPass) {
        describeTypeCandidates(found, listing);
        context.deferError(diag::TypeUndetermined, nameNode, listing);
    } else if (templates == 0) {
        if (found.empty()) appendDidYouMean(context, listing, nameNode);
        context.reportError(diag::UnknownTypeListed, nameNode, listing);
    } else {
        context.reportError(diag::TypeNotUnique, nameNode);
    }
    context.lookup().clearResults();
}

void resolveType(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool declarationPass) {
    context.lookup().clearResults();
    context.lookup().nearMisses().clear();
    if (!node) return;
    if (isDottedName(node)) return resolveDottedName(context, scope, node, declarationPass);
    if (node->kind == NodeKind::Subscript && !node->operands.empty())
        return resolveArrayType(context, scope, node, declarationPass);
    if (node->kind == NodeKind::GenericType) return resolveTemplateType(context, scope, node, declarationPass);
    // A literal or a call where a type is expected: its value is the
    // candidate, once bodies are compiled.
    if (!declarationPass && (node->kind == NodeKind::IntegerLiteral || node->kind == NodeKind::Call)) {
        compileStatement(context, node, false);
        return;
    }
    context.lookupNodeName(node);
}

}  // namespace

// The class-like candidate of lowest rank; a tie ends the choice empty.
IRObject* lowestRankedClass(const IRValueList& candidates) {
    const uint32_t kind = model::kKindClass;
    const IRResult* kept = lowestRankedCandidate(candidates, &kind, 1);
    return kept != nullptr ? kept->objectPtr() : nullptr;
}

namespace {

// The deriving class is declared while the body of a class around it is
// walked; a base whose chain runs through such a class would take that
// class's members before they are all declared. A class made once that
// body is declared (in one of its methods) may derive from it.
bool chainHasUnfinishedEncloser(IRObject& base, IRObject* derivingOwner) {
    for (IRObject* around = derivingOwner; around != nullptr; around = around->ownerObject()) {
        const model::ClassObject* encloser = model::asClass(around);
        if (encloser == nullptr || encloser->bodyDeclared != 0) continue;
        if (base.sameType(around) || base.isDerivedFrom(around)) return true;
    }
    return false;
}

// Code of the base reaches the base's enclosing instance as the object's
// one enclosing instance (`this[1]`): the deriving class's own must be of
// the base's enclosing class. Null when it is, or when either class has no
// enclosing instance; otherwise the deriving class's enclosing object.
IRObject* unreachableEncloser(IRObject& base, IRObject* derivingOwner, bool derivingIsStatic) {
    if (derivingIsStatic || derivingOwner == nullptr || derivingOwner->isPackage()) return nullptr;
    if (base.isInterface() || base.isStaticContext()) return nullptr;
    IRObject* baseOwner = base.ownerObject();
    if (derivingOwner->sameType(baseOwner) || derivingOwner->isDerivedFrom(baseOwner)) return nullptr;
    return derivingOwner;
}

SmartPtr chooseBaseClass(CompileContext& context, const SmartPtr& scope, const NodeHandle& baseNode,
                         bool derivingIsStatic, IRObject* derivingOwner, bool declarationPass) {
    resolveType(context, scope, baseNode, declarationPass);
    const IRValueList candidates = takeCandidates(context);
    // Empty but for a base found nowhere.
    qestl::qestringA listing;
    // A member reached through a dotted name is chosen as an instance of
    // its class; the checks ask the class.
    IRObject* chosen = nullptr;
    IRObject* base = nullptr;
    IRObject* encloser = nullptr;
    if (candidates.empty() && declarationPass && baseNode) {
        // A deferred message lists the similar names only if it is reported.
        context.diagnostics().deferred().addSuggesting(diag::UnknownBase, baseNode, context.lookup().nearMisses());
    } else if (candidates.empty()) {
        appendDidYouMean(context, listing, baseNode);
        raise(context, declarationPass, diag::UnknownBase, baseNode, listing);
    } else if ((chosen = lowestRankedClass(candidates)) == nullptr || (base = chosen->classRef())->isPackage()) {
        raise(context, declarationPass, diag::UnknownBase, baseNode, listing);
    } else if (declarationPass && ((base->flagsA & model::kFlagDeclarationPending) != 0 ||
                                   chainHasUnfinishedEncloser(*base, derivingOwner))) {
        raise(context, declarationPass, diag::BaseNotFound, baseNode);
    } else if (base->isFinal()) {
        raise(context, declarationPass, diag::FinalBase, baseNode);
    } else if (!isNewable(*base)) {
        raise(context, declarationPass, diag::BaseNotClass, baseNode);
    } else if (!isExtendableBase(context, chosen, derivingIsStatic)) {
        raise(context, declarationPass, diag::BaseNotExtendable, baseNode);
    } else if ((encloser = unreachableEncloser(*base, derivingOwner, derivingIsStatic)) != nullptr) {
        raise(context, declarationPass, diag::BaseEnclosingUnreachable, baseNode, base->ownerObject()->displayName(),
              encloser->displayName());
    } else if (declarationPass && base->declarationNode && (base->declarationNode.flags() & NodeFlag::Walked) == 0) {
        raise(context, declarationPass, diag::UnknownBase, baseNode, listing);
    } else {
        // Being a base is a use (the class is not reported unused).
        chosen->checkUse(nullptr, baseNode);
        return SmartPtr(base);
    }
    if (declarationPass) noteUndeclarableBase(context, baseNode, candidates);
    return SmartPtr();
}

}  // namespace
}  // namespace declare

bool isTypeObject(const model::IRObject* object) {
    if (object == nullptr) return false;
    return (object->isKind(model::kKindClass) && !object->isPackage()) || object->isKind(model::kKindArray) ||
           object->isArray();
}

const model::IRResult* lowestRankedCandidate(const model::IRValueList& candidates, const uint32_t* kinds,
                                            size_t kindCount) {
    const model::IRResult* kept = nullptr;
    model::CandidateRank keptRank;
    for (const model::IRResult& candidate : candidates) {
        const IRObject* object = candidate.objectPtr();
        if (object == nullptr || std::find(kinds, kinds + kindCount, object->kindOf()) == kinds + kindCount) continue;
        const model::CandidateRank rank = model::rankOf(candidate);
        if (kept != nullptr && rank == keptRank) return nullptr;
        if (kept == nullptr || rank < keptRank) {
            kept = &candidate;
            keptRank = rank;
        }
    }
    return kept;
}

void resolveTypeExpression(CompileContext& context, const qestl::SmartPtr& scope, const model::NodeHandle& node) {
    declare::resolveType(context, scope, node, true);
}

void resolveTypeReference(CompileContext& context, const model::NodeHandle& node) {
    declare::resolveType(context, qestl::SmartPtr(), node, false);
}

qestl::SmartPtr resolveBaseClasses(CompileContext& context, const qestl::SmartPtr& scope,
                                   const model::NodeHandle& baseNode, bool derivingIsStatic,
                                   model::IRObject* derivingOwner) {
    return declare::chooseBaseClass(context, scope, baseNode, derivingIsStatic, derivingOwner, true);
}

qestl::SmartPtr checkBaseClass(CompileContext& context, const model::NodeHandle& baseNode, bool derivingIsStatic,
                               model::IRObject* derivingOwner) {
    return declare::chooseBaseClass(context, qestl::SmartPtr(), baseNode, derivingIsStatic, derivingOwner, false);
}

bool isExtendableBase(CompileContext& context, model::IRObject* base, bool derivingIsStatic) {
    if (base == nullptr) return false;
    // An instance answers as its class, but is no class to derive from
    // unless that class is static or an interface.
    IRObject* klass = base->classRef();
    if (klass->isPackage()) return false;
    if (klass->isInterface() || klass->isStatic()) return true;
    if (base->isInstance()) return false;
    IRObject* owner = klass->ownerObject();
    if (owner == nullptr || owner->isPackage()) return true;
    const ScopeRecord* record = context.lookup().scopes().innermost();
    if (record != nullptr && record->object) return !derivingIsStatic;
    return klass->isStaticContext();
}
