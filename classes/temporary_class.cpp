// The class body of `new T(...) { ... }`: an anonymous class derived from T,
// declared and compiled where the expression stands. It may capture the
// locals of the enclosing function; its name is made from the position of
// the expression.
#include <optional>

#include "classes/compile_class.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_state.h"
#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/instance_object.h"
#include "statements/compile_walk.h"

namespace {

// A bit of the innermost scope's lookup mode; clear without a scope.
bool innermostModeBit(const CompileContext& context, uint32_t bit) {
    const ScopeRecord* record = context.lookup().scopes().records.empty() ? nullptr
                                                                          : &context.lookup().scopes().records.back();
    return record != nullptr && (record->mode & bit) != 0;
}

}  // namespace

int32_t compileTemporaryClass(CompileContext& context, model::IRObject*, const StatementNode& node, qestl::SmartPtr&,
                              uint32_t, bool global) {
    if (!node) return 0;
    const model::IRTemporaryClass view(node);
    const bool classScope = innermostModeBit(context, 1);
    bool isStatic = classScope;
    if (context.lookup().scopes().declarationMode() == kDeclareMember && !isStatic && node->hasAnnotation("Native")) {
        context.reportError(diag::NativeNotStatic, node);
        return 0;
    }

    qestl::SmartPtr classRef;
    model::Operand registration;
    ClosureCapture capture;
    if (model::asClass(static_cast<model::IRObject*>(node->owner())) != nullptr) {
        classRef = qestl::SmartPtr(node->owner());
        registration.setObjectRef(classRef, 0);
    } else {
        classRef = model::makeClass(view.name().view(), context.builtins().classType);
        auto* klass = classRef.as<model::ClassObject>();
        klass->changeModifiers(0, model::kModPackage | model::kModInterface | model::kModEnum);
        klass->anonymous = 1;
        capture.begin(context, classRef);
        // The initialiser, laid out with the body, opens the closure of a
        // class that captured the frame; the capture's end confirms it.
        klass->capturesSlots = klass->rareClass().captureContainer != nullptr ? 1 : 0;
        klass->setDeclarationNode(node);
        klass->sourceNode = node;
        const qestl::SmartPtr scope = context.currentScopeObject();
        klass->setOwner(model::IRResult(scope));
        klass->buildLinkName();
        // Declared in a class scope (lookup mode 1) the class is static,
        // in an object scope (mode 3) it is not.
        if (!context.lookup().scopes().records.empty()) isStatic = !innermostModeBit(context, 2);
        klass->setStatic(isStatic);
        if (!classes::registerCompiledClass(context, classRef, node, global, isStatic, registration)) return 0;
    }
    auto* klass = classRef.as<model::ClassObject>();

    if (klass->compiled == 0) {
        {
            classes::ClassBodyScope scope(context, classRef);
            if (!klass->baseClass) {
                const StatementNode baseNode = view.baseList();
                const qestl::SmartPtr base = checkBaseClass(context, baseNode, isStatic, klass->ownerObject());
                if (!base) {
                    context.reportError(diag::BaseNotFound, baseNode);
                    return 0;
                }
                klass->setDeclared(false);
                if (klass->setBaseClass(base, NodeFlag::Public)) ++declarationState(context).chainEpoch;
                klass->setEnum(model::asObject(base)->isEnum());
            }
            classes::compileClassBody(context, classRef, view, node, registration);
            klass->setDeclared(true);
        }
        klass->findFinalizer();
        klass->computeNativeLayout(context, true);
    }
    capture.end();

    // In an object scope the value is an instance of the class, owned by
    // nothing; elsewhere the class itself.
    const bool instance = context.currentScopeObject() && !classScope;
    const qestl::SmartPtr value = instance
                                      ? model::makeInstance(classRef, model::IRResult(), context.builtins().classType)
                                      : classRef;
    context.lookup().setResults(model::IRResult(value, registration));
    return 0;
}
