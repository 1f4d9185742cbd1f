// The class of a template instance in the compile pass. A queued instance
// (the declaration pass made it) arrives with its cloned declaration node; a
// template type met while compiling (List<T> in a body) arrives with its
// type node, and its instance is made here, or found by its generated name
// when an earlier use made it. Errors are reported at once.
#include <utility>

#include "classes/compile_class.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "diagnostics/diagnostics.h"
#include "model/candidate_rank.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "source/ast_nodes.h"

using declare::instanceCountFits;
using declare::instanceNameFits;
using declare::ownerObjectOf;
using declare::takeCandidates;
using model::IRObject;
using model::IRResult;
using model::IRValueList;

namespace classes {
namespace {

// The nearest class or array among the candidates of a type argument: the
// lowest rank wins; an equal rank drops the choice, so that the next
// candidate is chosen afresh.
IRObject* nearestTypeCandidate(const IRValueList& candidates) {
    IRObject* chosen = nullptr;
    model::CandidateRank chosenRank;
    for (const IRResult& candidate : candidates) {
        IRObject* object = candidate.objectPtr();
        if (object == nullptr || !(object->isKind(model::kKindClass) || object->isKind(model::kKindArray))) continue;
        const model::CandidateRank rank = model::rankOf(candidate);
        if (chosen == nullptr || rank < chosenRank) {
            chosen = object;
            chosenRank = rank;
        } else if (rank == chosenRank) {
            chosen = nullptr;
        }
    }
    return chosen;
}

// The arguments written at the type node, bound to the template's
// parameter names in the instance; the "<a,b>" text of their link names.
bool bindWrittenArguments(CompileContext& context, model::ClassObject& instance, const model::IRClass& templateView,
                          const NodeHandle& typeNode, qestl::qestringA& text) {
    const NodeHandle list = model::IRCore::operandOf(typeNode, 1);
    const size_t given = list ? list->operands.size() : 0;
    const size_t expected = templateView.templateParameterCount();
    if (given != expected) {
        context.reportError(diag::TemplateArguments, typeNode, given, expected);
        return false;
    }
    for (size_t i = 0; i < given; ++i) {
        const NodeHandle argument = list->operands[i];
        // An argument names a type: the static members of the type the
        // expression expects are no names here.
        {
            NameLookup::ExpectedTypeHidden hidden(context.lookup());
            resolveTypeReference(context, argument);
        }
        const IRValueList candidates = takeCandidates(context);
        IRObject* chosen = nearestTypeCandidate(candidates);
        if (chosen != nullptr) chosen = chosen->classRef();
        if (chosen == nullptr || !isTypeObject(chosen)) {
            qestl::qestringA listing;
            dumpScopeSymbols(context, candidates, listing);
            context.reportError(chosen == nullptr ? diag::ObjectNotFound : diag::TypeUnsupportedListed, argument,
                                listing);
            return false;
        }
        const NodeHandle parameter = templateView.templateParameter(i);
        instance.addTemplateArgument(parameter ? parameter->text.view() : std::string_view(), SmartPtr(chosen));
        instance.templateArguments.pushBack(IRResult(SmartPtr(chosen)));
        text.append(i == 0 ? "<" : ",");
        text.append(chosen->linkName());
    }
    if (given != 0) text.append(">");
    return true;
}

// An instance the type node names, made and registered here unless one of
// that name exists.
SmartPtr instanceOfTypeNode(CompileContext& context, const NodeHandle& typeNode, IRObject& templ, bool global) {
    const NodeHandle declaration = templ.declarationNode.node();
    const bool isStatic = (declaration->flags & NodeFlag::Static) != 0;
    SmartPtr made = model::makeClass(declaration->text.view(), context.builtins().classType);
    auto* instance = model::asClass(model::asObject(made));
    instance->setStatic(isStatic);
    instance->setFinal((declaration->flags & NodeFlag::Final) != 0);
    instance->editRare().templateOrigin = SmartPtr(&templ);
    instance->editRare().templateNode = typeNode;
    qestl::qestringA text;
    if (!bindWrittenArguments(context, *instance, model::IRClass(declaration), typeNode, text)) return SmartPtr();
    qestl::qestringA altName(templ.name);
    altName.append(text);
    instance->setAltName(altName.view());
    qestl::qestringA lookupName(templ.linkName());
    lookupName.append(text);
    if (context.lookupGlobal(lookupName.view())) {
        const IRValueList found = takeCandidates(context);
        if (IRObject* existing = found.empty() ? nullptr : found[0].objectPtr()) return SmartPtr(existing->classRef());
    }
    if (!instanceNameFits(context, false, lookupName.view(), typeNode) || !instanceCountFits(context, false, typeNode))
        return SmartPtr();
    NodeHandle clone;
    cloneAstNode(declaration.get(), clone);
    instance->setDeclarationNode(clone);
    instance->setOwner(templ.ownerResult.result());
    instance->buildLinkName();
    if (context.registerClass(instance->name.view(), made, global, isStatic).kind == model::kErrorOperand) {
        context.reportError(diag::DuplicateObject, typeNode);
        return SmartPtr();
    }
    model::bindObjectToNode(clone, instance);
    return made;
}

}  // namespace

SmartPtr templateInstanceToCompile(CompileContext& context, const NodeHandle& given, const SmartPtr& origin,
                                   bool global) {
    IRObject* templ = model::asObject(origin);
    if (templ == nullptr || !templ->declarationNode || !given) return SmartPtr();
    // The queue hands over the instance's own declaration (the clone).
    if (IRObject* owner = ownerObjectOf(given); owner != nullptr && owner->isTemplateInstance())
        return SmartPtr(owner);
    return instanceOfTypeNode(context, given, *templ, global);
}

}  // namespace classes
