// Binding the arguments of a call to the parameters of the chosen method:
// which value of each argument fits, how it is pushed, and the packing of
// surplus arguments into the object array of a variadic method.
#include <utility>

#include "codegen/candidate_pickers.h"
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/stores.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/native_import.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kByReference = 0x1;
constexpr uint32_t kAcceptsAddressOf = 0x1000;
constexpr int32_t kObjectTypeId = 11;

enum class Variadic : uint8_t { None, Open };

model::IRObject* typeOf(const qestl::SmartPtr& ref) { return model::asObject(ref); }

bool isType(const model::IRObject* type, model::Builtin tag) { return model::isBuiltin(type, tag); }

// An array whose element is the any-object type.
bool isObjectArray(model::IRObject* type) {
    if (type == nullptr || !type->isArray()) return false;
    auto* array = dynamic_cast<model::ArrayObject*>(type->classRef());
    return array != nullptr && isType(array->element(), model::Builtin::Any);
}

// The class of an operand's storage in the candidate sort; a heap slot
// (kind 10) always gives way to its successor.
uint32_t storageClass(const model::IRResult& result) {
    switch (result.operand.kind) {
    case model::kStackSlot: return 1;
    case model::kThisObjectPointer: return 3;
    case model::kThisStaticPointer: return 4;
    default: return 5;
    }
}

// Between two of one storage class, the one found nearer (model/candidate_rank.h).
std::pair<uint32_t, uint8_t> storageKey(const model::IRResult& result) { return {storageClass(result), result.reach}; }

void sortByStorage(model::IRValueList& list) {
    const size_t count = list.size();
    for (size_t pass = 0; pass + 1 < count; ++pass) {
        bool exchanged = false;
        for (size_t i = 0; i + 1 < count; ++i) {
            const bool heap = list[i].operand.kind == model::kHeapSlot;
            if (heap || storageKey(list[i + 1]) <= storageKey(list[i])) {
                std::swap(list[i], list[i + 1]);
                exchanged = true;
            }
        }
        if (!exchanged) break;
    }
}

uint32_t conversionPush(const model::IRObject* parameterType) {
    static const struct {
        model::Builtin type;
        uint32_t opcode;
    } kPushes[] = {
        {model::Builtin::Byte, model::kOpPushByte},     {model::Builtin::Int, model::kOpPushInt},
        {model::Builtin::Short, model::kOpPushShort},   {model::Builtin::Char, model::kOpPushChar},
        {model::Builtin::Long, model::kOpPushLong},     {model::Builtin::Float, model::kOpPushFloat},
        {model::Builtin::Double, model::kOpPushDouble},
    };
    for (const auto& row : kPushes)
        if (isType(parameterType, row.type)) return row.opcode;
    return model::kOpPush;
}

bool declaredNative(model::IRObject* type) {
    model::IRObject* klass = type != nullptr ? type->classRef() : nullptr;
    return klass != nullptr && klass->declarationNode.get() && klass->declarationNode.get()->hasAnnotation("Native");
}

struct Binder {
    CompileContext& context;
    model::IRObject& method;
    IRValueListArray& arguments;
    IRValueListArray& bound;
    const StatementNode& node;

    qestl::SmartPtr ownerFunction() const { return context.frameOwner(); }

    void append(model::IRResult& result, qestl::SmartPtr instruction) {
        result.appendInstruction(result.pending, std::move(instruction), ownerFunction(), node);
    }

    const StatementNode& placeOf(const model::IRResult& candidate) const {
        return candidate.sourceNode ? candidate.sourceNode : node;
    }

    bool fail(const Diagnostic& message, const model::IRResult& candidate) {
        context.reportError(message, placeOf(candidate));
        return false;
    }

    // The surplus arguments from `first` on, as one object array.
    void pack(size_t first, const qestl::SmartPtr& arrayType) {
        const model::BuiltinTypes& b = context.builtins();
        model::IRResult packed(model::makeObject("", model::kKindVariable, arrayType, 0));
        model::IRObject* any = typeOf(b.anyType);
        model::Operand anyClass;
        anyClass.setObjectRef(b.anyType, 0);
        append(packed, codegen::makePushRegister(model::kEax, nullptr));
        append(packed, codegen::makePush(anyClass));
        append(packed, codegen::makePushTypeId(kObjectTypeId));
        append(packed, codegen::makePushIntImmediate(static_cast<int32_t>(arguments.size() - first)));
        append(packed, codegen::makeAllocArray());
        append(packed, codegen::makeMovEdxEax(typeOf(arrayType), typeOf(arrayType)));
        append(packed, codegen::makePopRegister(model::kEax, nullptr));
        for (size_t i = first; i < arguments.size(); ++i) {
            model::IRValueList& candidates = arguments[i];
            if (candidates.empty()) continue;
            model::IRResult* chosen = nullptr;
            if (candidates.size() != 1 && codegen::pickBestOverload(candidates, codegen::kAnyKind, chosen) != 0)
                chosen = nullptr;
            model::IRResult element = chosen != nullptr ? *chosen : candidates[0];
            element.prependOwnerCode();
            for (const qestl::SmartPtr& instruction : element.pending) packed.pending.pushBack(instruction);
            if (model::IRObject* object = element.objectPtr()) object->checkUse(&context, node);
            const qestl::SmartPtr store = codegen::makeInstruction(model::kOpMovElem, 3);
            codegen::setOperandTriple(
                *store.as<model::cbircode>(), 0, codegen::makeEdxOperand(any),
                model::Operand(static_cast<int64_t>(i - first), model::kImmLong, model::kTypeLong), element.operand);
            append(packed, store);
        }
        append(packed, codegen::makePushRegister(model::kEdx, typeOf(arrayType)));
        bound.emplace_back();
        bound.back().pushBack(packed);
    }

    // The bound result of one fitting candidate; false after an error.
    // `shared`: the candidate is the argument's own value, whose code is
    // copied; a candidate from a copy of the argument's list is read no more
    // but for its object and place, and gives its code up.
    bool bindValue(model::IRResult& candidate, model::IRObject* parameterType, bool byReference, bool converted,
                   bool shared) {
        model::IRObject* object = candidate.objectPtr();
        model::IRResult result(candidate.object);
        result.sourceNode = candidate.sourceNode;
        result.addressOf = candidate.addressOf;
        if (!object->isFunction() && shared) {
            for (const qestl::SmartPtr& instruction : candidate.pending) result.pending.pushBack(instruction);
            result.stateWord = candidate.stateWord;
            result.mergeObjectStatesFrom(candidate);
        } else if (!object->isFunction()) {
            expressions::appendTakenResult(result, candidate);
        }
        const bool modifiable = !object->isNamedConstant() && !object->isConst();
        if (!modifiable && candidate.addressOf) return fail(diag::InvalidAddressOf, candidate);
        model::Operand value = candidate.operand;
        if (object->hasConstantValue()) value = object->constantValue();
        else if (object->isFunction()) value = object->makeObjectOperand();

        model::IRObject* argumentType = typeOf(object->valueType());
        bool needsLvalue = false;
        bool noTemporary = false;
        uint32_t opcode = model::kOpPush;
        if (candidate.addressOf) {
            opcode = model::kOpPushRef;
            needsLvalue = true;
            noTemporary = isType(parameterType, model::Builtin::Pointer);
        } else if (isType(parameterType, model::Builtin::ObjectPtr) || byReference) {
            opcode = declaredNative(argumentType) ? model::kOpPush : model::kOpPushPtr;
            needsLvalue = true;
        } else if (isType(parameterType, model::Builtin::ObjectRef)) {
            opcode = model::kOpPushRef;
            needsLvalue = true;
            noTemporary = converted;
        } else if (converted) {
            opcode = conversionPush(parameterType);
        }
        if (needsLvalue && !modifiable) return fail(diag::NotModifiable, candidate);
        if (noTemporary && value.kind == model::kRegister) return fail(diag::TemporaryAssigned, candidate);
        result.appendInstruction(result.pending, codegen::makeInstructionWithOperand(opcode, value), ownerFunction(),
                                 node);
        if (converted && !candidate.addressOf)
            checkConstantNarrowing(context, qestl::SmartPtr(parameterType), qestl::SmartPtr(argumentType), value,
                                   placeOf(candidate));
        bound.back().pushBack(std::move(result));
        return true;
    }

    bool bindOne(size_t index, const qestl::SmartPtr& parameter, Variadic mode) {
        const model::BuiltinTypes& b = context.builtins();
        model::IRObject* parameterObject = typeOf(parameter);
        // The argument's one value, with no trial to compile and no code of
        // its owner to take (nearly every argument), is bound where it
        // lies; any other list is worked on in a copy, the argument kept
        // whole for the next method tried.
        model::IRValueList& given = arguments[index];
        const model::IRObject* loneObject = given.size() == 1 ? given[0].objectPtr() : nullptr;
        const bool shared = loneObject != nullptr && !loneObject->ownerResult.hasPendingCode() &&
                            !anyDeferredValue(given);
        model::IRValueList copied;
        if (!shared) copied = given;
        model::IRValueList& candidates = shared ? given : copied;
        if (parameterObject == nullptr)
            return fail(diag::InvalidArgument, candidates.empty() ? model::IRResult() : candidates[0]);
        const qestl::SmartPtr parameterTypeRef = mode == Variadic::Open ? b.anyType : parameterObject->valueType();
        model::IRObject* parameterType = typeOf(parameterTypeRef);
        const bool byReference = (parameterObject->modifiers & kByReference) != 0;
        const bool acceptsAddress = (method.modifiers & kAcceptsAddressOf) != 0;

        // Calls of template methods are compiled for the parameter's type.
        DiagnosticCapture capture;
        model::IRValueList targets;
        addTrialTarget(targets, candidates, parameterTypeRef);
        filterCandidatesByTrial(capture, context, targets, candidates);

        sortByStorage(candidates);
        bound.emplace_back();
        bool boundOnce = false;
        for (model::IRResult& candidate : candidates) {
            model::IRObject* object = candidate.objectPtr();
            if (object == nullptr) {
                capture.report(context.diagnostics());
                return fail(diag::InvalidArgument, candidate);
            }
            if (candidate.addressOf && !acceptsAddress) return fail(diag::InvalidAddressOf, candidate);
            model::IRObject* argumentType = typeOf(object->valueType());
            if (argumentType == nullptr) {
                capture.report(context.diagnostics());
                return fail(diag::InvalidType, candidate);
            }

            bool fits = model::convertible(&context, argumentType, parameterTypeRef, !byReference);
            if (!fits && byReference) {
                if (auto* array = dynamic_cast<model::ArrayObject*>(argumentType->classRef()))
                    fits = model::convertible(&context, array->element(), parameterTypeRef, false);
                else fits = isType(argumentType, model::Builtin::Nil);
            }
            if (!fits && candidate.addressOf && isType(parameterType, model::Builtin::Pointer)) fits = true;
            if (!fits) continue;
            if (boundOnce) {
                qestl::qestringA listing;
                dumpScopeSymbols(context, candidates, listing);
                context.reportWarning(diag::SeveralMatches, placeOf(candidate), listing);
                continue;
            }
            const bool converted = !argumentType->sameType(parameterType);
            if (!bindValue(candidate, parameterType, byReference, converted, shared)) return false;
            boundOnce = true;
        }
        return boundOnce;
    }

    bool run() {
        const size_t parameterCount = method.parameterCount();
        if (parameterCount > arguments.size()) return false;
        Variadic mode = Variadic::None;
        for (size_t i = 0; i < arguments.size(); ++i) {
            qestl::SmartPtr parameter = i < parameterCount ? method.parameter(i) : qestl::SmartPtr();
            if (i + 1 == parameterCount && mode == Variadic::None) {
                model::IRObject* last = typeOf(parameter);
                if (last == nullptr) return fail(diag::InvalidArgument, model::IRResult());
                const qestl::SmartPtr lastType = last->valueType();
                model::IRObject* type = typeOf(lastType);
                if (type != nullptr && type->getName().view() == "...") {
                    mode = Variadic::Open;
                } else if (isObjectArray(type) && dynamic_cast<model::ImportedFunction*>(&method) == nullptr) {
                    model::IRValueList& lastCandidates = arguments[i];
                    bool passedWhole = false;
                    if (arguments.size() == parameterCount && lastCandidates.size() == 1 &&
                        lastCandidates[0].objectPtr() != nullptr) {
                        model::IRObject* given = typeOf(lastCandidates[0].objectPtr()->valueType());
                        if (isType(given, model::Builtin::Void)) return false;
                        passedWhole = isObjectArray(given);
                    }
                    if (!passedWhole) {
                        pack(i, lastType);
                        return true;
                    }
                }
            }
            if (i >= parameterCount && mode != Variadic::Open) return false;
            if (mode == Variadic::Open && !parameter) parameter = method.parameter(parameterCount - 1);
            if (!bindOne(i, parameter, mode)) return false;
        }
        return true;
    }
};

}  // namespace

bool bindCallArguments(CompileContext& context, model::IRObject& method, IRValueListArray& arguments,
                       IRValueListArray& bound, const StatementNode& node) {
    // One list of values per argument (or fewer, packed): made room for at
    // once rather than grown argument by argument.
    bound.reserve(bound.size() + arguments.size());
    Binder binder{context, method, arguments, bound, node};
    return binder.run();
}
