// The declaration walker: two passes over one scope (class-likes until
// nothing new is declared, then the members once), descending into the
// bodies of what was declared, base classes first; and the outer loop that
// repeats the walk of a root until a run declares nothing new.
#include <cstdint>
#include <string_view>

#include "codegen/compile_context.h"
#include "declare/class_pass_schedule.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "declare/declaration_state.h"
#include "model/class_object.h"
#include "options/compile_options.h"
#include "source/side_word_look_ahead.h"

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
    if (asKlass != nullptr && asKlass->chainDeclaredNow(declarationState(context).chainEpoch) &&
        declarationState(context).depth < declarationState(context).maxDepth) {
        if (asKlass->chainRest != nullptr) declareClassBody(context, *asKlass->chainRest);
        return;
    }
    // Base classes first, up the whole chain.
    if (asKlass != nullptr)
        if (IRObject* base = model::asObject(asKlass->baseClass)) declareClassBody(context, *base);
    const NodeHandle declaration = klass.declarationNode.node();
    declareSubtree(context, SmartPtr(&klass), bodyOf(declaration), declaration);
    if (asKlass != nullptr) asKlass->noteChainDeclared(declarationState(context).chainEpoch);
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
        sidewords::loadAhead(node->children, i);
        const NodeHandle child = node->children[i];
        walkDeclarations(context, scope, child, table);
    }
}

// The class pass visits through its schedule, which says which nodes a pass
// visits again.
constexpr ClassPassVisit kClassPassVisit = {
    [](CompileContext& context, const SmartPtr& scope, const NodeHandle& node) {
        visitDeclaration(context, scope, node, kClassPass);
    },
    {NodeKind::Class, NodeKind::TemplateClass},
};
static_assert(kClassPass[0].kind == NodeKind::Class && kClassPass[1].kind == NodeKind::TemplateClass &&
                  kClassPass[2].callback == nullptr,
              "the schedule is told the kinds the class pass declares");

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
            ClassPassSchedule schedule(context, body, kClassPassVisit);
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
        } else if (!declarationState(context).tooDeep) {
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

}  // namespace declare

int declareSubtree(CompileContext& context, const qestl::SmartPtr& scope, const model::NodeHandle& body,
                   const model::NodeHandle& declaration) {
    uint32_t& depth = declarationState(context).depth;
    if (depth >= declarationState(context).maxDepth) {
        declarationState(context).tooDeep = true;
        context.deferError(diag::ExpansionTooLarge, body);
        context.reportErrorOnce(diag::ExpansionTooLarge, body);
        return 0;
    }
    ++depth;
    declare::declareScope(context, scope, body, declaration);
    --depth;
    return 0;
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
