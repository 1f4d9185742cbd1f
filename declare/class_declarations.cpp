// The class pass's callback for class-likes (classes, interfaces, packages,
// enums): the class object, made once and reused by later cycles, entered in
// its scope and the context, its base class attached when resolvable.
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "declare/declaration_state.h"
#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "source/annotation_edit.h"

using model::ClassObject;
using model::IRObject;

namespace declare {
namespace {

class ConflictReporter final : public AnnotationConflictSink {
public:
    explicit ConflictReporter(CompileContext& context) : context_(context) {}
    void reportError(const Diagnostic& entry, const qeAbstractNode* at) override {
        context_.reportError(entry, NodeHandle(const_cast<qeAbstractNode*>(at)));
    }

private:
    CompileContext& context_;
};

// The one visible package of that name with its own block, when a second
// block of the same package is met; otherwise what the lookup decides.
SmartPtr existingPackage(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool& reuse) {
    reuse = false;
    context.lookupInScopes(scope, node->text.view());
    model::IRValueList found = takeCandidates(context);
    if (found.size() != 1) return SmartPtr();
    IRObject* object = found[0].objectPtr();
    if (object == nullptr) return SmartPtr();
    if (object->isPackage() && !object->declarationNode) return SmartPtr();
    reuse = true;
    return SmartPtr(object);
}

SmartPtr finish(CompileContext& context, const NodeHandle& node, IRObject* object) {
    context.diagnostics().deferred().noteDeclared();
    setDeclaredObject(node, object);
    markDeclared(node);
    noteClassChanged(context, node->text.view());
    return SmartPtr(object);
}

SmartPtr makeClassFor(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, bool isStatic,
                      bool isPackage) {
    const NodeText& text = node->text;
    SmartPtr made = text.empty() ? model::makeClass(text.view(), context.builtins().classType)
                                 : model::makeNamedClass(text.inPlace(), context.builtins().classType);
    IRObject* object = model::asObject(made);
    if (node->hasAnnotation("Native")) object->setNative(true);
    object->setStatic(isStatic);
    const uint32_t packageBit = model::kModPackage;
    object->changeModifiers(isPackage ? packageBit : 0u, isPackage ? 0u : packageBit);
    object->setEnum((node->flags & 0x40000000u) != 0);
    object->setFinal((node->flags & NodeFlag::Final) != 0);
    object->setOwner(model::IRResult(scope));  // builds the link name
    object->setDeclarationNode(node);
    if (isPackage) model::asClass(object)->editRareClass().declarationNodeMap.flagOf(node) = 0;
    context.tables().addSymbolString(node->text);
    model::bindObjectToNode(node, object);
    // Made alone, the class changes no waiting base choice: a class is no
    // base until its body is walked, which is noted then.
    return made;
}

}  // namespace

SmartPtr declareClass(CompileContext& context, const SmartPtr& scope, const NodeHandle& node, uint32_t) {
    if (isDeclared(node)) return SmartPtr(declaredObjectOf(node));
    const bool isStatic = (node->flags & (0x40000000u | NodeFlag::Static)) != 0;
    const bool isPackage = (node->flags & NodeFlag::Package) != 0;
    IRObject* scopeObject = model::asObject(scope);
    if (isPackage) {
        if (scopeObject != nullptr && !scopeObject->isPackage()) {
            context.deferError(diag::PackagePlacement, node);
            return SmartPtr();
        }
        bool reuse = false;
        SmartPtr existing = existingPackage(context, scope, node, reuse);
        if (reuse) {
            IRObject* object = model::asObject(existing);
            if (object->isPackage()) {
                model::bindObjectToNode(node, object);
                if (node->annotations() && object->declarationNode.get() != node.get()) {
                    ConflictReporter reporter(context);
                    mergeAnnotations(*object->declarationNode.get(), reporter, node->annotations());
                }
            }
            return finish(context, node, object);
        }
    }
    SmartPtr made;
    if (IRObject* owned = ownerObjectOf(node)) {
        made = SmartPtr(owned);
    } else {
        const std::string_view name = node->text.view();
        // A class of the global scope takes a place in the image heap's
        // index, which in a program of many classes lies far outside the
        // caches: it is loaded while the class is made
        // (bench/hostile_shapes.py inheritance_chain).
        if (scopeObject == nullptr && context.lookup().scopes().records.empty())
            context.lookup().scopes().heaps[0]->prefetchPlace(qestl::HashedText(name));
        made = makeClassFor(context, scope, node, isStatic, isPackage);
        model::Operand placed;
        if (ClassObject* scopeClass = model::asClass(scopeObject)) placed = scopeClass->addClassMember(name, made, isStatic);
        if (placed.kind != model::kErrorOperand)
            placed = context.registerClass(name, made, scopeObject == nullptr, isStatic);
        if (placed.kind == model::kErrorOperand) {
            node->releaseOwner();
            context.deferError(diag::DuplicateObject, node);
            return SmartPtr();
        }
    }
    ClassObject* klass = model::asClass(model::asObject(made));
    if (!isPackage) {
        context.pushScopeMode(isStatic);
        const model::IRClass view(node);
        const NodeHandle bases = view.baseList();
        if (bases && !klass->baseClass) {
            SmartPtr base = resolveBaseClasses(context, scope, bases, (node->flags & NodeFlag::Static) != 0,
                                               scopeObject);
            if (!base) return SmartPtr();
            if (klass->setBaseClass(base, bases->flags & 0x60)) ++declarationState(context).chainEpoch;
        }
    }
    return finish(context, node, klass);
}

}  // namespace declare
