// Emitting the call of a chosen method: the bound arguments, the object the
// method is called on, the call itself (or the one instruction of an
// intrinsic "$special/..." method) and the value left in eax.
#include <string_view>

#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kNotNilParameter = 0x10;
constexpr uint32_t kMaybeNilStates = 0x300;

enum class IntrinsicOperands : uint8_t { Receiver, None, Sync, OwnerObject, EnumName };

struct IntrinsicRow {
    std::string_view name;
    uint32_t opcode;
    IntrinsicOperands operands;
};

constexpr IntrinsicRow kIntrinsics[] = {
#define KORVO_INTRINSIC(name, opcode, operands) {name, model::kOp##opcode, IntrinsicOperands::operands},
#include "expressions/intrinsic_methods.def"
#undef KORVO_INTRINSIC
};

const IntrinsicRow* findIntrinsic(std::string_view name) {
    if (name.empty() || name[0] != '$') return nullptr;
    for (const IntrinsicRow& row : kIntrinsics)
        if (row.name == name) return &row;
    return nullptr;
}

bool sameOperand(const model::Operand& a, const model::Operand& b) {
    return a.kind == b.kind && a.value == b.value && a.target.get() == b.target.get();
}

// A member load of the method through its own object folds into the call's
// operand: (slot << 32) | register, of kind 16 after `method`, 34 after
// `function`.
void foldMemberAccess(model::IRResult& method, const model::Operand& object) {
    if (method.pending.empty()) return;
    auto* last = method.pending.back().as<model::cbircode>();
    uint32_t kind = 0;
    if (last->opcode == model::kOpMethod) kind = model::kThisMethodPointer;
    else if (last->opcode == model::kOpFunction) kind = model::kStaticProcedurePointer;
    if (kind == 0 || last->operandCount < 3 || !sameOperand(last->operands[0], object)) return;
    const int64_t value = static_cast<int64_t>((static_cast<uint64_t>(last->operands[1].value) << 32) |
                                               static_cast<uint64_t>(last->operands[2].value));
    method.operand = model::Operand(value, kind, method.operand.dataType);
    method.pending.erase(method.pending.size() - 1);
}

// The type a call yields: the method's return type; a constructor reached
// without `new` (a super call) yields its owner.
qestl::SmartPtr resultTypeOf(model::IRObject& method, bool constructorWanted, const model::IRResult* receiver) {
    if (constructorWanted && receiver != nullptr && receiver->objectPtr() != nullptr)
        return qestl::SmartPtr(receiver->objectPtr()->classRef());
    if (!method.isConstructor()) return method.returnType();
    model::IRObject* owner = method.ownerObject();
    if (owner == nullptr) return {};
    if (owner->isInstance()) return qestl::SmartPtr(owner->classRef());
    if (owner->isKind(model::kKindVariable)) return owner->valueType();
    return qestl::SmartPtr(owner);
}

bool primitiveOrString(const model::IRObject* type) {
    const uint8_t code = model::typeCodeOf(type);
    return (code >= model::kTypeByte && code <= model::kTypeDouble) || code == model::kTypeString;
}

struct CallEmitter {
    CompileContext& context;
    const StatementNode& node;
    model::IRResult call;

    void append(qestl::SmartPtr instruction) {
        const qestl::SmartPtr owner = context.frameOwner();
        call.appendInstruction(call.pending, std::move(instruction), owner, node);
    }
    void appendCode(const qestl::SmartPtrVector& code) {
        for (const qestl::SmartPtr& instruction : code) call.pending.pushBack(instruction);
    }
    // The same for code of a value read no more: moved, not copied.
    void takeCode(qestl::SmartPtrVector& code) { call.pending.appendTaken(code); }

    // The intrinsic's own instruction; false after an error.
    bool emitIntrinsic(const IntrinsicRow& row, model::IRObject& method, model::IRObject* ownerObject,
                       const model::Operand& ownerOperand) {
        qestl::SmartPtr instruction;
        switch (row.operands) {
        case IntrinsicOperands::None: instruction = codegen::makeInstruction(row.opcode, 0); break;
        case IntrinsicOperands::EnumName: {
            model::Operand ownerRef;
            ownerRef.setObjectRef(qestl::SmartPtr(method.ownerObject()), 0);
            instruction = codegen::makeInstructionWithTwoOperands(row.opcode, ownerRef,
                                                                  model::makeImmediate(1, model::kImmInt));
            break;
        }
        case IntrinsicOperands::Sync: {
            model::IRObject* object = ownerObject;
            if (object == nullptr || ownerOperand.kind == model::kOperandNone ||
                primitiveOrString(model::asObject(object->valueType()))) {
                context.reportError(diag::NotLockable, node);
                return false;
            }
            if (object->lockInstruction(context, model::kLockPlain, node).kind == model::kErrorOperand) {
                context.reportError(diag::LockKindMixed, node);
                return false;
            }
            instruction = codegen::makeInstructionWithOperand(row.opcode, ownerOperand);
            break;
        }
        case IntrinsicOperands::Receiver:
        case IntrinsicOperands::OwnerObject:
            instruction = codegen::makeInstructionWithOperand(row.opcode, ownerOperand);
            break;
        }
        append(std::move(instruction));
        return true;
    }
};

}  // namespace

bool compileMethodCallOrIntrinsic(CompileContext& context, const model::IRResult* receiver, model::IRResult& candidate,
                                  IRValueListArray& arguments, bool constructorWanted, const StatementNode& node) {
    model::IRObject* held = candidate.objectPtr();
    if (held == nullptr) return false;
    model::IRObject& method = *held->classRef();

    IRValueListArray bound;
    if (!bindCallArguments(context, method, arguments, bound, node)) {
        context.lookup().clearResults();
        return false;
    }
    const qestl::SmartPtr resultType = resultTypeOf(method, constructorWanted, receiver);
    if (!resultType) return false;

    CallEmitter emitter{context, node, model::IRResult()};
    // The object the method is called on: the value it was reached
    // through (a class named directly calls statically), or the new one.
    // Read where the member's value holds it: only its code is copied out,
    // below, the value keeping its own.
    const model::OwnerDescriptor* owner = held->isInstance() ? &held->ownerResult : nullptr;
    const model::IRResult* ownerWhole = owner != nullptr ? owner->whole() : nullptr;
    model::IRObject* ownerObject = owner != nullptr ? owner->objectPtr() : nullptr;
    const model::Operand ownerOperand = ownerWhole != nullptr ? ownerWhole->operand : model::Operand();
    bool loadsThis = ownerObject != nullptr && ownerObject->kindOf() != model::kKindClass;
    // A load of the method through the object it is called on folds into
    // the call (below, where the candidate is read no more).
    const bool foldsLoad = loadsThis;
    model::Operand thisOperand = ownerOperand;
    // An instance method reached through a class is a base class's, named
    // by `super`: its own code runs on the same object, whatever the
    // object's table holds in its slot (the override that called it).
    const bool baseOwn = ownerObject != nullptr && !loadsThis && !constructorWanted && !method.isStatic() &&
                         !method.isConstructor() && method.imported == 0;

    if (constructorWanted && receiver != nullptr) {
        if (!isNewable(method)) {
            context.reportError(diag::NotNewable, node);
            return false;
        }
        model::IRObject* klass = receiver->objectPtr();
        emitter.appendCode(receiver->pending);
        emitter.append(codegen::makeInstructionWithOperand(model::kOpAlloc, receiver->operand));
        thisOperand = codegen::makeEaxOperand(klass != nullptr ? klass->classRef() : nullptr);
        loadsThis = true;
        if (klass != nullptr) {
            model::IRResult hooked;
            klass->classRef()->runInstanceHook(context, hooked, node);
            if (context.diagnostics().hasErrors()) return false;
            emitter.appendCode(hooked.pending);
        }
    }

    bool wrapped = false;
    for (const model::IRValueList& list : bound)
        for (const model::IRResult& result : list) wrapped = wrapped || result.pending.size() > 1;
    if (wrapped) emitter.append(codegen::makeInstruction(model::kOpPushar, 0));
    for (size_t i = 0; i < bound.size(); ++i) {
        qestl::SmartPtr parameter = method.parameter(i);
        model::IRObject* parameterObject = model::asObject(parameter);
        const bool notNil = parameterObject != nullptr && (parameterObject->modifiers & kNotNilParameter) != 0 &&
                            model::asObject(parameterObject->valueType()) != nullptr &&
                            model::asObject(parameterObject->valueType())->getName().view() != "...";
        for (model::IRResult& result : bound[i]) {
            model::IRObject* value = result.objectPtr();
            if (notNil && value != nullptr && (value->modifiers & kMaybeNilStates) != 0) {
                const StatementNode place = result.sourceNode ? result.sourceNode : value->declarationNode.handle();
                context.reportWarning(diag::NilptrIntoNotNil, place);
            }
            result.checkUse(&context, node);
            emitter.takeCode(result.pending);
        }
    }
    if (wrapped) emitter.append(codegen::makeInstruction(model::kOpPopar, 0));

    const std::string_view name = method.getName().view();
    const IntrinsicRow* intrinsic = findIntrinsic(name);
    const bool equality = name == "==" || name == "!=";
    // The code that yields the object runs right before it is loaded.
    if (ownerObject != nullptr && !(constructorWanted && receiver != nullptr)) {
        // The code that reaches the owner's own owner runs first and is
        // taken from it; then a copy of the owner's code (the intrinsics
        // below read only its object and operand).
        if (ownerWhole != nullptr) ownerWhole->checkUse(&context, node);
        else ownerObject->checkUse(&context, node);
        if (ownerObject == held) {
            // An owner that is the member itself holds the code it hands
            // out: copied before it is taken.
            model::IRResult copied = owner->result();
            copied.prependOwnerCode();
            emitter.takeCode(copied.pending);
        } else {
            if (ownerObject->ownerResult.hasPendingCode()) {
                ownerObject->noteWrite();
                emitter.takeCode(ownerObject->ownerResult.edit().pending);
            }
            // A member value that this candidate alone holds is read no
            // more but for its object and ranks once a call gets this far
            // (only an intrinsic may fail below): the owner's code is taken,
            // not copied (the left operand of a string sum holds the code of
            // the whole sum so far).
            if (ownerWhole != nullptr && intrinsic == nullptr && held->referenceCount() == 1) {
                held->noteWrite();
                emitter.takeCode(held->ownerResult.edit().pending);
            } else if (ownerWhole != nullptr) {
                emitter.appendCode(ownerWhole->pending);
            }
        }
    }
    if (loadsThis)
        emitter.append(codegen::makeInstructionWithOperand(
            equality ? model::kOpPushloadThisCall : model::kOpPushloadThisOperand, thisOperand));

    if (intrinsic != nullptr) {
        if (!emitter.emitIntrinsic(*intrinsic, method, ownerObject, ownerOperand)) return false;
    } else {
        // The candidate is read no more but for its object and ranks: its
        // code is taken, not copied (a failed call returned above, leaving
        // it whole for the next candidate).
        model::IRResult& methodRef = candidate;
        if (foldsLoad) foldMemberAccess(methodRef, ownerOperand);
        emitter.takeCode(methodRef.pending);
        emitter.call.mergeObjectStatesFrom(methodRef);
        uint32_t opcode = model::kOpCall;
        if (name == "==") opcode = model::kOpCallEqu;
        else if (name == "!=") opcode = model::kOpCallNequ;
        const model::Operand count(static_cast<int64_t>(bound.size()), model::kImmLong, model::kTypeLong);
        // A method compiled here is called at its code; one read from a
        // library through the operand its lookup gave; a template method's
        // instance, whose code travels with the call and is in no class, at
        // the first instruction its operand names.
        model::Operand target = baseOwn ? method.makeObjectOperand() : methodRef.operand;
        const bool namesCode = target.kind == model::kObjectReference && target.target &&
                               dynamic_cast<model::IRObject*>(target.target.as<model::cbircode>()) == nullptr;
        if (method.imported == 0 && !namesCode && target.kind != model::kThisMethodPointer &&
            target.kind != model::kStaticProcedurePointer && target.kind != model::kRegister)
            target.setObjectRef(qestl::SmartPtr(&method), 0);
        emitter.append(codegen::makeInstructionWithTwoOperands(opcode, target, count));
        context.checkThrows(method, node);
    }
    if (loadsThis) emitter.append(codegen::makePopThis());

    model::IRResult& result = emitter.call;
    result.object = model::makeObject("", model::kKindVariable, resultType, 0);
    result.operand = codegen::makeEaxOperand(model::asObject(resultType));
    result.sourceNode = node;
    result.checkUse(&context, node);
    context.lookup().setResults(std::move(result));
    return true;
}
