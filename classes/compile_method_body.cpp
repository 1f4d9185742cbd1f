// The body of a method in the compile pass: its frame, its return label and
// flow tree, the implicit base-constructor calls of a constructor, the
// statements, the epilogue and the placing of its code.
#include <optional>
#include <utility>
#include <vector>

#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "foundation/look_ahead.h"
#include "foundation/text_map.h"
#include "model/base_chain_look_ahead.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"
#include "statements/walk_state.h"

namespace {

bool isVoidType(const model::IRObject* type) { return type == nullptr || model::isBuiltin(type, model::Builtin::Void); }

// Everything the body changes in the context, given back on every way out.
class BodyScope {
public:
    BodyScope(CompileContext& context, const qestl::SmartPtr& function, bool constructor)
        : context_(context), savedFunction_(context.emitter().function()), function_(function.as<model::cbircode>()) {
        context.emitter().switchCodeList(true, &listGuard_);
        context.lookup().scopes().pushFrame(function);
        savedStatics_ = context.lookup().scopes().staticObjects;
        context.lookup().scopes().staticObjects = &statics_;
        inBody_.emplace(context.emitter(), code);
        savedMode_ = context.setCompileMode(constructor ? kDeclareLocalOnce : kDeclareLocal);
    }
    ~BodyScope() {
        jumps.restore(kJumpAll);
        context_.emitter().setFunction(savedFunction_);
        inBody_.reset();
        // A failed body's code is dropped, not detached: detaching would
        // detach its owner, the method, which stays declared. A loop that
        // failed may have dropped the code already; the method still holds
        // its first instruction, which holds the method back.
        if (function_ != nullptr && (!code.empty() || started)) {
            function_->operands[0] = model::Operand();
            function_->operandCount = 0;
        }
        codegen::dropCodeList(code);
        context_.lookup().scopes().heaps[0]->renameFunctionStatics(statics_);
        context_.lookup().scopes().staticObjects = savedStatics_;
        // Near misses noted in the frame are listed before it goes.
        context_.lookup().nearMisses().resolved();
        context_.lookup().scopes().popFrame();
        context_.setCompileMode(savedMode_);
        listGuard_.restore();
    }
    BodyScope(const BodyScope&) = delete;
    BodyScope& operator=(const BodyScope&) = delete;

    void install() {
        context_.emitter().enterJumpScope(jumps, kJumpReturn);
        context_.emitter().setFunction(&state);
    }
    // The function's own code goes to the list the body was started from.
    void placeCode() {
        started = false;
        context_.emitter().setFunction(savedFunction_);
        inBody_->resumeOuter();
        context_.emitter().appendCode(code);
    }

    // A template instance's code goes with the call that made it: a jmp
    // over it, then the code, left as the one pending candidate whose
    // operand is the code's first instruction.
    void handOverCode(const qestl::SmartPtr& functionRef, const qestl::SmartPtr& first) {
        started = false;
        context_.emitter().setFunction(savedFunction_);
        inBody_->resumeOuter();
        uint64_t size = 0;
        for (const qestl::SmartPtr& instruction : code) size += instruction.as<model::cbircode>()->encodedSize();
        model::Operand entry;
        entry.setObjectRef(first, 0);
        model::IRResult result(functionRef, entry);
        result.pending.pushBack(codegen::makeJump(model::kOpJmp, static_cast<int64_t>(size)));
        result.pending.appendRange(code.data(), code.size());
        context_.emitter().keepInstanceCode(result.pending);
        code.clear();
        context_.lookup().clearResults();
        context_.lookup().nearMisses().clear();
        context_.lookup().addResult(result);
    }

    CodeList code;
    // The method's operand names the body's first instruction, until the
    // code is placed.
    bool started = false;
    JumpScope jumps;
    FunctionCompileState state;

private:
    CompileContext& context_;
    FunctionCompileState* savedFunction_;
    model::cbircode* function_;
    std::optional<CodeEmitter::ListScope> inBody_;
    std::vector<model::Container::NameEntry> statics_;
    std::vector<model::Container::NameEntry>* savedStatics_ = nullptr;
    uint32_t savedMode_ = 0;
    CodeListGuard listGuard_;
};

bool failWith(CompileContext& context, const Diagnostic& message, const StatementNode& node) {
    context.reportError(message, node);
    return false;
}

// The jmp of a final `return`: held only by the list, to the return label.
bool isFinalReturnJump(const qestl::SmartPtr& last, const model::Operand& returnLabel) {
    // The list and the caller hold it; a label would hold it too.
    if (!last || last->referenceCount() != 2) return false;
    const auto* jump = last.as<model::cbircode>();
    if (jump->opcode != model::kOpJmp || jump->operandCount == 0) return false;
    const model::Operand& target = jump->operands[0];
    return target.link() == &returnLabel && target.displacement == 0;
}

// Once its body is compiled, a record's node is read for its position
// alone: the records keep the position and let go of the nodes, which then
// go with the rest of the tree.
void keepPositionsOnly(const CodeList& code) {
    // Past the caches, each record and its node is a wait for memory: both
    // are asked for some records ahead (the node once its record is in), so
    // that the waits overlap (bench/hostile_shapes.py big_switch at 1M cases).
    constexpr size_t kNodeAhead = 8, kRecordAhead = 16;
    const qestl::SmartPtr* const end = code.end();
    for (const qestl::SmartPtr* held = code.begin(); held != end; ++held) {
        if (end - held > static_cast<ptrdiff_t>(kRecordAhead)) {
            qestl::touch(held[kRecordAhead].get());
            if (const qeAbstractNode* later = held[kNodeAhead].as<model::cbircode>()->sourceNode.node().get())
                qestl::touch(later);
        }
        held->as<model::cbircode>()->sourceNode.keepPositionOnly();
    }
}

}  // namespace

bool bodiesOutliveTheirCode(const CompileContext& context) {
    const CompileOptions* options = context.options();
    return options == nullptr || options->linkLibraryOutput != 0 || options->nativeSources != 0;
}

bool compileMethodBody(CompileContext& context, const model::IRFunction& view, const qestl::SmartPtr& functionRef,
                       const StatementNode& node) {
    auto* function = functionRef.as<model::FunctionObject>();
    const bool constructor = function->isConstructor();
    BodyScope scope(context, functionRef, constructor);

    for (uint64_t i = 0; i < function->parameterCount(); ++i) {
        qestl::SmartPtr parameter = function->parameter(i);
        if (!parameter) return failWith(context, diag::BadParameter, node);
        const model::Operand declared = context.lookup().scopes().declareObject(model::asObject(parameter)->name.view(),
                                                                                parameter, false);
        if (declared.kind == model::kErrorOperand) return failWith(context, diag::DuplicateObject, node);
    }
    bool needsValue = !isVoidType(model::asObject(function->type));

    scope.state.returnType = function->type;
    scope.state.notNilResult = function->isNotNilptr() ? 1 : 0;
    if (function->isNotNilptr()) scope.state.flags |= kFunctionNotNilResult;
    scope.install();
    model::Operand& returnLabel = scope.jumps.target(kJumpReturn);

    // The first instruction is patched with the frame size at the end.
    qestl::SmartPtr first = context.emitter().emit(model::makeCheckEspInstruction(0), node);
    function->opcode = model::kOpJmp;
    function->operandCount = 1;
    function->operands[0].setObjectRef(first, 0);
    scope.started = true;

    StatementNode body = view.body();
    if (!body) return failWith(context, diag::MissingBody, node);

    if (constructor) {
        const StatementNode callee = model::IRCore::operandOf(body, 0);
        const bool writtenSuper = body->kind == NodeKind::Call && callee && callee->text.view() == "super";
        if (!writtenSuper) {
            model::IRResult calls;
            qestl::SmartPtr owner = context.currentScopeObject();
            if (!emitBaseConstructorCalls(owner, context, calls, node))
                return failWith(context, diag::NoBaseConstructor, node);
            context.setCompileMode(kDeclareLocal);
            calls.prependOwnerCode();
            context.emitter().appendCode(calls.pending);
        }
    }

    compileTree(context, body);
    if (context.diagnostics().hasErrors()) return false;

    qestl::SmartPtr last = context.emitter().lastInstruction();
    StatementNode end = view.closingNode();
    qestl::SmartPtr epilogue;
    if (constructor) {
        needsValue = false;
        if (function->type) return failWith(context, diag::ConstructorReturnType, node);
        epilogue = context.emitter().emit(codegen::makeThisToEax(), end);
    }
    const bool holdsLocals = !context.lookup().scopes().frame->members().empty();
    qestl::SmartPtr ret = context.emitter().emit(holdsLocals ? codegen::makeRetDelesp(end) : codegen::makeRet(end),
                                                 end);
    if (!epilogue) epilogue = ret;
    returnLabel.setObjectRef(epilogue, 0);

    if (isFinalReturnJump(last, returnLabel)) {
        for (size_t i = scope.code.size(); i > 0; --i) {
            if (scope.code[i - 1] != last) continue;
            scope.code.erase(i - 1);
            break;
        }
        // Gone now, not at the end: it holds the final statement's node,
        // which then goes with the rest of the body.
        last.reset();
    }
    context.bindLabels(0, scope.code.size());
    const model::FlowNode* flow = scope.state.currentFlow;
    scope.jumps.restore(kJumpAll);
    if (needsValue && (flow == nullptr || !currentFlowExits(context)))
        return failWith(context, diag::ReturnValueNeeded, node);

    const auto frameSize = static_cast<int64_t>(context.lookup().scopes().frame->members().size());
    auto* head = first.as<model::cbircode>();
    head->opcode = frameSize != 0 && holdsLocals ? model::kOpAllocesp : model::kOpCheckesp;
    head->operands[0] = model::Operand(frameSize, model::kImmLong, model::kTypeLong);

    context.tables().debugInfo().addFunction(functionRef, *context.lookup().scopes().frame);
    warnUnusedObjects(*context.lookup().scopes().frame, context);
    function->warnUnusedThrows(context);
    if (view.isTemplate()) {
        scope.handOverCode(functionRef, first);
    } else {
        // Nothing reads a compiled body again: its tree goes, so that a
        // large program's tree does not outlive the code made from it, and
        // the code made after it reuses the nodes' memory. A node the code
        // holds (an instruction's position, a static's declaration) stays.
        if (!bodiesOutliveTheirCode(context)) {
            keepPositionsOnly(scope.code);
            releaseSubtree(body, walkState(context).releasedNodes);
            // The declaration keeps its position for the warnings given at
            // the end; its body, closing brace and return type go too (the
            // positions are the code's now, the type the function's): a
            // program of a million one-method classes kept the three for
            // every method.
            body.reset();
            end.reset();
            releaseOperand(*node, model::IRFunction::kReturnTypeOperand);
            releaseOperand(*node, model::IRFunction::kBodyOperand);
            releaseOperand(*node, model::IRFunction::kClosingOperand);
            // The function keeps the declaration's place alone
            // (model/declaration_place.h): the node goes with its class's.
            if (function->declarationNode.get() == node.get()) function->declarationNode.keepPlaceOnly();
        }
        scope.placeCode();
    }
    return true;
}

bool emitBaseConstructorCalls(const qestl::SmartPtr& classRef, CompileContext& context, model::IRResult& out,
                              const StatementNode& node) {
    // A base that declares no constructor is constructed by its own base's:
    // the chain is climbed in a loop, not a call per class (a chain of a
    // million classes took a million stack frames).
    model::ClassObject* klass = model::asClass(model::asObject(classRef));
    model::ClassObject* base = nullptr;
    model::IRValueList candidates;
    model::IRResult* chosen = nullptr;
    model::BaseChainLookAhead ahead(context.failedNameNumbers());
    for (uint32_t step = 0; chosen == nullptr; klass = base, ++step) {
        base = klass != nullptr ? klass->base() : nullptr;
        if (base == nullptr || base->isInterface()) return true;
        context.lookup().clearResults();
        // Constructing the object runs its bases' constructors whatever
        // their access: a constructor written without an access keyword is
        // private, and a viewer-filtered lookup from the derived class would
        // hide it, so the base would pass for one declaring none and its
        // constructor never run.
        klass->dynamicMethods.collectByName(context, ahead.nameAt(step, *base), 0);
        ahead.loadAfter(step, base);
        candidates = model::IRValueList();
        context.lookup().takeResults(candidates);

        bool baseDeclares = false;
        for (model::IRResult& candidate : candidates) {
            model::IRObject* object = candidate.objectPtr();
            if (object == nullptr || !object->isKind(model::kKindFunction)) continue;
            if (object->ownerObject() == klass) continue;
            baseDeclares = true;
            if (object->isConstructor() && object->parameterCount() == 0) {
                chosen = &candidate;
                break;
            }
        }
        if (chosen == nullptr && baseDeclares) return false;
    }

    model::IRObject* constructor = chosen->objectPtr();
    model::Operand target;
    if (constructor->imported != 0) target = chosen->operand;
    else target.setObjectRef(chosen->object, 0);
    qestl::SmartPtr call = codegen::makeInstructionWithTwoOperands(model::kOpCall, target,
                                                                   model::makeImmediate(0, model::kImmInt));
    model::IRResult made;
    base->runInstanceHook(context, made, node);
    if (context.diagnostics().hasErrors()) return false;
    out.appendResult(made);
    model::FunctionObject* owner = nullptr;
    if (model::IRObject* frameOwner = model::asObject(context.lookup().scopes().frame->owner);
        frameOwner && frameOwner->isFunction())
        owner = static_cast<model::FunctionObject*>(frameOwner);
    out.appendInstruction(out.pending, *call.as<model::cbircode>(), qestl::SmartPtr(owner), node);
    return true;
}
