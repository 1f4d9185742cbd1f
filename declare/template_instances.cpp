// Template classes and their instances. A template class is declared once
// and walked only through its instances: each list of type arguments makes
// one instance, found again by its generated name; a source template's
// instance gets a clone of the template's declaration, whose body the
// declaration walker declares, and is queued for the compile pass.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "classes/compile_class.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "declare/declaration_state.h"
#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/template_class.h"
#include "source/ast_nodes.h"

using model::ClassObject;
using model::IRObject;
using model::IRValueList;
using model::TemplateClassObject;

namespace declare {

SmartPtr declareTemplateClass(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t) {
    if (isDeclared(node)) return SmartPtr(declaredObjectOf(node));
    SmartPtr made = model::adoptLive(new TemplateClassObject(context.builtins().classType));
    auto* templ = static_cast<TemplateClassObject*>(model::asObject(made));
    templ->initFromNode(node);
    templ->setOwner(model::IRResult(scope));
    templ->buildLinkName();
    const bool isStatic = (node->flags & NodeFlag::Static) != 0;
    model::Operand placed;
    if (ClassObject* scopeClass = model::asClass(model::asObject(scope)))
        placed = scopeClass->addClassMember(node->text.view(), made, isStatic);
    else
        placed = context.registerClass(node->text.view(), made, true, isStatic);
    if (placed.kind == model::kErrorOperand) {
        context.deferError(diag::DuplicateObject, node);
        return SmartPtr();
    }
    markDeclared(node);
    model::bindObjectToNode(node, templ);
    noteClassChanged(context, node->text.view());
    return made;
}

namespace {

// How deeply instance names nest in a name: "/List</List</int>>" is 2.
size_t nestingDepth(std::string_view name) {
    size_t depth = 0, deepest = 0;
    for (char c : name) {
        if (c == '<') deepest = std::max(deepest, ++depth);
        else if (c == '>' && depth > 0) --depth;
    }
    return deepest;
}

// Only an error that counts stops instantiation: a trial whose errors are
// dropped must not leave instance bodies uncompiled in a compilation that
// then succeeds.
void stopInstantiation(CompileContext& context) {
    if (context.diagnostics().activeCapture() == nullptr) declarationState(context).instantiationStopped = true;
}

bool refuseInstance(CompileContext& context, bool deferIt, const Diagnostic& why, const NodeHandle& typeNode) {
    raise(context, deferIt, why, typeNode);
    stopInstantiation(context);
    return false;
}

}  // namespace

bool instanceNameFits(CompileContext& context, bool deferIt, std::string_view lookupName, const NodeHandle& typeNode) {
    if (lookupName.size() > kMaxInstanceNameLength)
        return refuseInstance(context, deferIt, diag::InstanceNameTooLong, typeNode);
    if (nestingDepth(lookupName) > kMaxInstanceDepth)
        return refuseInstance(context, deferIt, diag::InstanceTooDeep, typeNode);
    return true;
}

bool instanceCountFits(CompileContext& context, bool deferIt, const NodeHandle& typeNode) {
    if (context.instancesRegistered() < kMaxInstances) return true;
    if (deferIt && context.diagnostics().activeCapture() == nullptr)
        declarationState(context).refusedForCount.insert(typeNode.get());
    return refuseInstance(context, deferIt, diag::TooManyInstances, typeNode);
}

InstanceBaseGuard::InstanceBaseGuard(CompileContext& context, std::string_view lookupName, const NodeHandle& bases,
                                     bool declarationPass)
    : context_(context) {
    DeclarationState& state = declarationState(context);
    for (const std::string& name : state.instanceBasesResolving)
        if (name == lookupName) cycle_ = true;
    if (cycle_) return;
    if (state.depth >= state.maxDepth) {
        tooDeep_ = true;
        state.tooDeep = true;
        if (declarationPass) context.deferError(diag::ExpansionTooLarge, bases);
        context.reportErrorOnce(diag::ExpansionTooLarge, bases);
        stopInstantiation(context);
        return;
    }
    ++state.depth;
    state.instanceBasesResolving.emplace_back(lookupName);
}

InstanceBaseGuard::~InstanceBaseGuard() {
    if (refused()) return;
    DeclarationState& state = declarationState(context_);
    --state.depth;
    state.instanceBasesResolving.pop_back();
}

namespace {

struct Instantiation {
    CompileContext& context;
    SmartPtr scope;
    IRObject& templ;
    const NodeHandle& typeNode;
    bool declarationPass;

    template <typename... Arguments>
    void fail(const Diagnostic& entry, const NodeHandle& node, const Arguments&... arguments) {
        raise(context, declarationPass, entry, node, arguments...);
    }

    size_t expectedCount() const {
        if (templ.declarationNode) return model::IRClass(templ.declarationNode.node()).templateParameterCount();
        return templ.templateParameterCount;
    }

    // The type arguments, each the lowest-ranked class-like candidate of its
    // subtree, and the "<a,b>" text of their link names. False after an
    // error.
    bool collectArguments(IRValueList& arguments, qestl::qestringA& text) {
        const NodeHandle list = model::IRCore::operandOf(typeNode, 1);
        const size_t given = list ? list->operands.size() : 0;
        const size_t expected = expectedCount();
        if (given != expected) {
            fail(diag::TemplateArguments, typeNode, given, expected);
            return false;
        }
        for (size_t i = 0; i < given; ++i) {
            const NodeHandle argumentNode = list->operands[i];
            // An argument names a type: the static members of the type the
            // expression expects are no names here.
            {
                NameLookup::ExpectedTypeHidden hidden(context.lookup());
                if (declarationPass) resolveTypeExpression(context, scope, argumentNode);
                else resolveTypeReference(context, argumentNode);
            }
            const IRValueList candidates = takeCandidates(context);
            IRObject* chosen = lowestRankedClass(candidates);
            if (chosen != nullptr) chosen = chosen->classRef();
            if (chosen == nullptr || !isTypeObject(chosen)) {
                qestl::qestringA listing;
                dumpScopeSymbols(context, candidates, listing);
                fail(diag::ObjectNotFound, argumentNode, listing);
                return false;
            }
            arguments.pushBack(model::IRResult(SmartPtr(chosen)));
            text.append(i == 0 ? "<" : ",");
            text.append(chosen->linkName());
        }
        if (given != 0) text.append(">");
        return true;
    }

    // An instance made before under the same name.
    SmartPtr existing(const qestl::qestringA& lookupName) {
        if (!context.lookupGlobal(lookupName.view())) return SmartPtr();
        IRValueList found = takeCandidates(context);
        IRObject* object = found.empty() ? nullptr : found[0].objectPtr();
        return object != nullptr ? SmartPtr(object->classRef()) : SmartPtr();
    }

    SmartPtr nativeInstance(bool declareInScope) {
        IRValueList arguments;
        qestl::qestringA text;
        if (!collectArguments(arguments, text)) return SmartPtr();
        qestl::qestringA lookupName(templ.linkName());
        lookupName.append(text);
        if (SmartPtr found = existing(lookupName)) return found;
        if (!instanceNameFits(context, declarationPass, lookupName.view(), typeNode) ||
            !instanceCountFits(context, declarationPass, typeNode))
            return SmartPtr();
        SmartPtr made = templ.instantiate(context, arguments, typeNode);
        IRObject* instance = model::asObject(made);
        if (instance == nullptr) {
            fail(diag::NativeInstanceFailed, typeNode);
            return SmartPtr();
        }
        instance->setOwner(templ.ownerResult.result());
        // An instance of a nested template (List.Iterator<int>) is public,
        // as the one its container's instance makes: a template argument
        // is looked up with its access checked.
        if (templ.ownerObject() != nullptr) instance->modifiers |= model::kModPublic;
        qestl::qestringA altName(templ.name);
        altName.append(text);
        instance->setAltName(altName.view());
        instance->buildLinkName();
        context.registerClass(templ.name.view(), made, declareInScope, false);
        return made;
    }

    SmartPtr sourceInstance(bool declareInScope) {
        const NodeHandle declaration = templ.declarationNode.node();
        SmartPtr made = model::makeClass(declaration->text.view(), context.builtins().classType);
        auto* instance = model::asClass(model::asObject(made));
        const bool isStatic = (declaration->flags & NodeFlag::Static) != 0;
        instance->setStatic(isStatic);
        instance->editRare().templateOrigin = SmartPtr(&templ);
        instance->editRare().templateNode = typeNode;
        IRValueList arguments;
        qestl::qestringA text;
        if (!collectArguments(arguments, text)) return SmartPtr();
        qestl::qestringA lookupName(templ.linkName());
        lookupName.append(text);
        if (!instanceNameFits(context, declarationPass, lookupName.view(), typeNode)) return SmartPtr();
        const model::IRClass view(declaration);
        for (size_t i = 0; i < arguments.size(); ++i) {
            const NodeHandle parameter = view.templateParameter(i);
            instance->addTemplateArgument(parameter ? parameter->text.view() : std::string_view(), arguments[i].object);
            instance->templateArguments.pushBack(arguments[i]);
        }
        if (const NodeHandle bases = view.baseList()) {
            InstanceBaseGuard resolving(context, lookupName.view(), bases, declarationPass);
            if (resolving.refused()) return SmartPtr();
            context.lookup().scopes().pushObjectScope(made);
            SmartPtr base = resolveBaseClasses(context, scope, bases, isStatic, templ.ownerObject());
            context.popObjectScope();
            if (!base) return SmartPtr();
            if (instance->setBaseClass(base, bases->flags & 0x60)) ++declarationState(context).chainEpoch;
        }
        if (SmartPtr found = existing(lookupName)) return found;
        if (!instanceCountFits(context, declarationPass, typeNode)) return SmartPtr();
        NodeHandle clone;
        cloneAstNode(declaration.get(), clone);
        instance->setDeclarationNode(clone);
        qestl::qestringA altName(templ.name);
        altName.append(text);
        instance->setAltName(altName.view());
        instance->setOwner(templ.ownerResult.result());
        instance->buildLinkName();
        if (context.registerClass(instance->name.view(), made, declareInScope, isStatic).kind == model::kErrorOperand) {
            fail(diag::DuplicateObject, typeNode);
            return SmartPtr();
        }
        setDeclaredObject(clone, instance);
        model::bindObjectToNode(clone, instance);
        auto& guard = static_cast<TemplateClassObject&>(templ);
        if (!guard.setExpanding(true)) {
            context.reportErrorOnce(diag::RecursiveTemplate, typeNode);
            context.deferError(diag::RecursiveTemplate, typeNode);
            // Each queued instance would expand one level deeper and meet
            // the same recursion again.
            stopInstantiation(context);
            return SmartPtr();
        }
        declareSubtree(context, made, model::IRClass(clone).memberList(), clone);
        guard.setExpanding(false);
        declarationState(context).pendingClasses.pushBack(made);
        return made;
    }
};

}  // namespace
}  // namespace declare

namespace {

// An instance named as a type refers to its class, as a class found by name
// does: `new` allocates through that reference.
model::IRResult instanceResult(const qestl::SmartPtr& instance) {
    return model::IRResult(instance, model::asObject(instance)->makeObjectOperand());
}

}  // namespace

int declareTemplateInstance(CompileContext& context, const qestl::SmartPtr& scope, const qestl::SmartPtr& templ,
                            const model::NodeHandle& typeNode, bool declareInScope) {
    IRObject* object = model::asObject(templ);
    context.lookup().clearResults();
    if (object == nullptr) return 0;
    if (context.instancesRegistered() >= declare::kMaxInstances &&
        declarationState(context).refusedForCount.contains(typeNode.get())) {
        context.deferError(diag::TooManyInstances, typeNode);
        return 0;
    }
    declare::Instantiation run{context, scope, *object, typeNode, true};
    const bool source = object->declarationNode && dynamic_cast<TemplateClassObject*>(object) != nullptr;
    qestl::SmartPtr instance = source ? run.sourceInstance(declareInScope) : run.nativeInstance(declareInScope);
    context.lookup().clearResults();
    if (instance) context.lookup().setResults(instanceResult(instance));
    return 0;
}

void instantiateTemplate(CompileContext& context, const qestl::SmartPtr& templ, const model::NodeHandle& typeNode) {
    IRObject* object = model::asObject(templ);
    context.lookup().clearResults();
    if (object == nullptr) return;
    if (!object->isNative() && object->declarationNode) {
        qestl::SmartPtr origin = templ;
        compileClassDeclaration(context, nullptr, typeNode, origin, kConstructClass, false);
        return;
    }
    declare::Instantiation run{context, qestl::SmartPtr(), *object, typeNode, false};
    qestl::SmartPtr instance = run.nativeInstance(false);
    context.lookup().clearResults();
    if (instance) context.lookup().setResults(instanceResult(instance));
}
