// Class, interface, enum and package bodies in the compile pass: the class
// the declaration pass made is found on its node (or made here), its members
// are declared and compiled, and its initialiser is laid out: base
// initialiser, class statements, `ret this`.
#include <optional>

#include "classes/compile_class.h"
#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_state.h"
#include "diagnostics/diagnostics.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/opcodes.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"

namespace {

uint32_t modifiersOfConstruct(uint32_t kind) {
    switch (kind) {
    case kConstructPackage: return model::kModPackage;
    case kConstructInterface: return model::kModInterface;
    case kConstructEnum: return model::kModEnum;
    default: return 0;
    }
}

}  // namespace

namespace classes {

// The member declarations and statements of the body, then the class
// initialiser on the current list and the member code on list 1.
void compileClassBody(CompileContext& context, const qestl::SmartPtr& classRef, const model::IRClass& view,
                      const StatementNode& node, const model::Operand& registration) {
    auto* klass = classRef.as<model::ClassObject>();
    CodeListGuard switched;
    context.emitter().switchCodeList(true, &switched);
    const uint64_t start = context.emitter().current().size();

    const StatementNode body = view.memberList();
    if (klass->isPackage()) klass->editRareClass().declarationNodeMap.flagOf(node) = 1;
    else klass->compiled = 1;

    // The records made here are read for their positions alone once the
    // class is compiled: they keep them, and let go of the class's node
    // (which then goes with the tree) and of its closing brace (a program
    // of a million classes kept one of each).
    const bool positionsOnly = !bodiesOutliveTheirCode(context);
    auto emitted = [positionsOnly](const qestl::SmartPtr& record) {
        if (positionsOnly) record.as<model::cbircode>()->sourceNode.keepPositionOnly();
    };
    CodeList statements, members;
    if (body) {
        context.declareUntilStable(klass, body, view.node);
        CodeEmitter::ListScope inStatements(context.emitter(), statements);
        CodeEmitter::SlotScope inMembers(context.emitter(), kMemberCodeList, members);
        // Start-up code that members put on the main list runs with the
        // class as `this`.
        emitted(context.emitToMainList(*codegen::makePushloadThisOperand(registration).as<model::cbircode>(), node));
        compileTree(context, body);
        emitted(context.emitToMainList(*codegen::makePopThis().as<model::cbircode>(), node));
    }

    const uint64_t entry = context.emitter().current().size();
    if (klass->capturesSlots != 0)
        emitted(context.emitter().emit(codegen::makeInstruction(model::kOpMakeclosesure, 0), node));
    const auto slots = static_cast<int64_t>(klass->dynamicProperties.members().size());
    if (slots > 0) emitted(context.emitter().emit(codegen::makeChecketp(slots, slots), node));
    model::ClassObject* base = klass->base();
    if (base != nullptr && base->id() == 0) {
        emitted(context.emitter().emit(codegen::makePushloadThis(), node));
        if (base->imported != 0) emitted(context.emitter().emit(codegen::makeCallInstance(klass->baseClass), node));
        else emitted(context.emitter().emit(codegen::makeCall(&base->operands[3]), node));
    }
    context.emitter().appendCode(statements);
    emitted(context.emitter().emit(codegen::makeInstruction(model::kOpRetThis, 0), view.closingNode()));
    if (positionsOnly) releaseOperand(*view.node, view.closingOperand());
    // The members' code was bound as each member was compiled: the walk
    // binding this class's jumps stops before it.
    const uint64_t end = context.emitter().current().size();
    context.emitter().list(kMemberCodeList).appendTaken(members);

    if (body || base != nullptr) {
        // The record's instance operand is what `new` runs: it must name this
        // code, and a derived class's instance code calls it through it.
        klass->operands[3].setObjectRef(context.emitter().codeAt(entry), 0);
    }
    context.bindLabels(start, end);
}

bool registerCompiledClass(CompileContext& context, const qestl::SmartPtr& classRef, const StatementNode& node,
                           bool global, bool isStatic, model::Operand& registration) {
    auto* klass = classRef.as<model::ClassObject>();
    registration = context.registerClass(klass->name.view(), classRef, global, isStatic);
    if (registration.kind == model::kErrorOperand) {
        context.reportError(diag::DuplicateObject, node);
        return false;
    }
    model::bindObjectToNode(node, klass);
    noteClassChanged(context, klass->name.view());
    return true;
}

OuterCodeHidden::OuterCodeHidden(CompileContext& context) : context_(context), receiver_(context.lookup()) {
    locals_.swap(context.lookup().localScopes());
}

OuterCodeHidden::~OuterCodeHidden() { context_.lookup().localScopes().swap(locals_); }

ClassBodyScope::ClassBodyScope(CompileContext& context, const qestl::SmartPtr& classRef)
    : context_(context), savedMode_(context.setCompileMode(kDeclareMember)) {
    context.lookup().scopes().pushObjectScope(classRef);
}

ClassBodyScope::~ClassBodyScope() {
    context_.popObjectScope();
    context_.setCompileMode(savedMode_);
}

}  // namespace classes

int32_t compileClassDeclaration(CompileContext& context, model::IRObject*, const StatementNode& given,
                                qestl::SmartPtr& origin, uint32_t kind, bool global) {
    qestl::SmartPtr classRef;
    model::Operand registration;
    StatementNode node = given;
    // The declaration pass chose (or refused, reporting why) its base.
    bool basePassed = false;
    if (origin) {
        // A template instance compiles its clone of the template's
        // declaration, its parameters bound to the arguments.
        classRef = classes::templateInstanceToCompile(context, given, origin, global);
        if (!classRef) return 0;
        node = model::asObject(classRef)->declarationNode.node();
        registration.setObjectRef(classRef, 0);
    }
    if (!node) return 0;
    const model::IRClass view(node);
    const bool isStatic = kind == kConstructEnum || (node->flags & NodeFlag::Static) != 0;

    std::optional<ScopeModeGuard> nested;
    if (context.lookup().scopes().declarationMode() == kDeclareMember) {
        if (!isStatic && node->hasAnnotation("Native")) {
            context.reportError(diag::NativeNotStatic, node);
            return 0;
        }
        context.pushScopeMode(isStatic);
        nested.emplace(context);
    }

    if (!classRef && model::asClass(static_cast<model::IRObject*>(node->owner())) != nullptr) {
        classRef = qestl::SmartPtr(node->owner());
        registration.setObjectRef(classRef, 0);
        basePassed = true;
    } else if (!classRef && context.lookup().scopes().declarationMode() != kDeclareLocal &&
               context.lookup().scopes().declarationMode() != kDeclareLocalOnce) {
        // Outside function bodies the declaration pass declares every class
        // it accepts; one it refused was reported there.
        return 0;
    } else if (!classRef) {
        classRef = model::makeClass(view.name().view(), context.builtins().classType);
        auto* klass = classRef.as<model::ClassObject>();
        // Set after clear: the construct's bit stays, the other two go.
        klass->changeModifiers(0, model::kModPackage | model::kModInterface | model::kModEnum);
        klass->changeModifiers(modifiersOfConstruct(kind), 0);
        klass->setStatic(isStatic);
        klass->setFinal((node->flags & NodeFlag::Final) != 0);
        klass->setDeclarationNode(node);
        klass->sourceNode = node;  // registration takes the declaration node from it
        klass->setOwner(model::IRResult(context.currentScopeObject()));
        if (!classes::registerCompiledClass(context, classRef, node, global, isStatic, registration)) return 0;
    }
    auto* klass = classRef.as<model::ClassObject>();

    bool pending = klass->isPackage() ? klass->isDeclarationPending(given) : klass->compiled == 0;
    if (klass->isTemplateInstance() && declarationState(context).instantiationStopped) pending = false;
    if (pending) {
        // The names a template method's binding gives its parameters are
        // not the class's: an instance made while one compiles sees only
        // its own arguments.
        classes::OuterCodeHidden hidden(context);
        {
            classes::ClassBodyScope scope(context, classRef);
            // A class the declaration pass did not make (an instance made
            // here) gets its base now, in its own scope so that a template
            // argument may name it.
            const StatementNode bases = view.baseList();
            if (!basePassed && bases && klass->baseClass.get() == nullptr) {
                std::optional<declare::InstanceBaseGuard> resolving;
                if (klass->isTemplateInstance()) {
                    resolving.emplace(context, klass->linkName().view(), bases, false);
                    if (resolving->refused()) return 0;
                }
                qestl::SmartPtr base = checkBaseClass(context, bases, isStatic, klass->ownerObject());
                if (!base) {
                    context.reportError(diag::BaseNotFound, bases);
                    return 0;
                }
                klass->setDeclared(false);
                if (klass->setBaseClass(base, bases->flags & 0x60)) ++declarationState(context).chainEpoch;
                if (model::asObject(base)->isEnum()) klass->setEnum(true);
            }
            // A package is written in blocks: each block compiles its own body.
            const StatementNode block = klass->isPackage() ? given : node;
            classes::compileClassBody(context, classRef, model::IRClass(block), block, registration);
            klass->setDeclared(true);
            noteClassChanged(context, klass->name.view());
        }
        klass->findFinalizer();
        klass->computeNativeLayout(context, true);
        // Compiled for good: what later steps read of the declaration is
        // its place (model/declaration_place.h), and the class record's
        // position; the node then goes with the tree. Packages are written
        // in blocks, an instance is found again by its declaration, and a
        // body not declared for good is walked again.
        if (!bodiesOutliveTheirCode(context) && !klass->isPackage() && !klass->isTemplateInstance() &&
            klass->declarationNode.get() == node.get() && (node->flags & NodeFlag::Walked) != 0) {
            klass->sourceNode.keepPositionOnly();
            klass->declarationNode.keepPlaceOnly();
        }
    }
    context.lookup().setResults(model::IRResult(classRef, registration));
    return 0;
}
