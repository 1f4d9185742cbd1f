// The rules of an object: assignability, compound operators, constant
// values, locks, the use check and the operand form of a reference.
#include <cmath>
#include <cstring>

#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

bool is(const IRObject* object, Builtin tag) { return isBuiltin(object, tag); }

bool isFloating(const IRObject* t) { return is(t, Builtin::Float) || is(t, Builtin::Double); }

bool isSevenNumeric(const IRObject* t) { return t != nullptr && t->numericRank >= 1 && t->numericRank <= 7; }

// The template a class was made from: its origin, else its built-in template.
IRObject* templateOf(const IRObject* object) {
    const IRObject::Rare& rare = object->rare();
    return asObject(rare.templateOrigin ? rare.templateOrigin : rare.builtinTemplate);
}

}  // namespace

bool IRObject::canAssignTo(ModelContext* context, const qestl::SmartPtr& targetRef, bool implicit) {
    IRObject* target = asObject(targetRef);
    if (target == nullptr) return false;
    if (is(this, Builtin::Void) || is(target, Builtin::Void)) return false;
    if (target->isInstance()) return canAssignTo(context, qestl::SmartPtr(target->classRef()), implicit);
    if (target == this) return true;
    const bool thisTemplated = isTemplateInstance() || hasBuiltinTemplate();
    const bool targetTemplated = target->isTemplateInstance() || target->hasBuiltinTemplate();
    if (!thisTemplated && !targetTemplated && builtinClassId >= 1 && builtinClassId == target->builtinClassId)
        return true;
    if (implicit) {
        if (is(target, Builtin::Any) || is(target, Builtin::ObjectPtr) || is(target, Builtin::ObjectRef)) return true;
        if ((is(this, Builtin::Long) && is(target, Builtin::Pointer)) ||
            (is(this, Builtin::Pointer) && is(target, Builtin::Long)))
            return true;
        if (isEnum() && isSevenNumeric(target)) return true;
        if (is(this, Builtin::Nil)) return !is(target, Builtin::Bool) && target->numericRank < 1;
        if (numericRank >= 1 && target->numericRank >= 1) return true;
    }
    if (thisTemplated) {
        IRObject* origin = templateOf(this);
        IRObject* targetOrigin = targetTemplated ? templateOf(target) : target;
        if (origin == nullptr || targetOrigin == nullptr) return false;
        if (!origin->canAssignTo(context, qestl::SmartPtr(targetOrigin), false)) return false;
        if (templateArguments.size() != target->templateArguments.size()) return false;
        for (size_t i = 0; i < templateArguments.size(); ++i) {
            IRObject* mine = templateArguments[i].objectPtr();
            if (mine == nullptr || !mine->canAssignTo(context, target->templateArguments[i].object, false))
                return false;
        }
        return true;
    }
    return false;
}

bool convertible(ModelContext* context, IRObject* from, const qestl::SmartPtr& to, bool implicit) {
    return from != nullptr && from->canAssignTo(context, to, implicit);
}

bool IRObject::assignOperatorAllowed(ModelContext* context, uint32_t code, const qestl::SmartPtr& rightRef) {
    IRObject* right = asObject(rightRef);
    const bool leftNumeric = numericRank >= 1;
    const bool rightNumeric = right != nullptr && right->numericRank >= 1;
    switch (code) {
    case 101: case 102: case 103: case 104:
        return leftNumeric && !isFloating(this);
    case 106:
        if ((is(this, Builtin::Long) && is(right, Builtin::Pointer)) ||
            (is(this, Builtin::Pointer) && is(right, Builtin::Long)))
            return true;
        if (leftNumeric) return rightNumeric || (right != nullptr && right->isEnum());
        if (is(this, Builtin::Bool)) return is(right, Builtin::Bool);
        return convertible(context, right, qestl::SmartPtr(this), true);
    case 113: case 114: case 119: case 120: case 121: case 122:
        return leftNumeric && rightNumeric && !isFloating(this) && !isFloating(right);
    case 115: case 116: case 117: case 118:
        return leftNumeric && rightNumeric;
    default:
        return false;
    }
}

void IRObject::setConstantValue(const Operand& value, bool constant_) {
    noteWrite();
    if (!constantComputed) {
        Operand& held = constant.edit();
        held = value;
        IRObject* t = asObject(valueType());
        const bool fromFloat = value.kind == kImmFloat;
        const bool fromDouble = value.kind == kImmDouble;
        double real = 0;
        if (fromFloat) {
            float f;
            const uint32_t bits = static_cast<uint32_t>(value.value);
            std::memcpy(&f, &bits, 4);
            real = f;
        } else if (fromDouble) {
            std::memcpy(&real, &value.value, 8);
        }
        auto integer = [&](uint32_t kind, int64_t converted) {
            held.kind = kind;
            held.value = converted;
        };
        const bool floating = fromFloat || fromDouble;
        const bool integral = value.kind >= kImmByte && value.kind <= kImmLong;
        // Conversions of an out-of-range value saturate instead of invoking
        // undefined behaviour; in range they truncate as a cast does.
        const double clamped = std::isnan(real) ? 0 : std::fmax(-9.2233720368547758e18, std::fmin(real, 9.2233720368547748e18));
        const int64_t truncated = static_cast<int64_t>(clamped);
        if (floating && is(t, Builtin::Int)) {
            integer(kImmInt, static_cast<int32_t>(static_cast<uint32_t>(truncated)));
        } else if (floating && is(t, Builtin::Byte)) {
            integer(kImmByte, static_cast<uint8_t>(truncated));
        } else if (floating && is(t, Builtin::Char)) {
            integer(kImmChar, static_cast<int8_t>(static_cast<uint8_t>(truncated)));
        } else if (floating && is(t, Builtin::Short)) {
            integer(kImmShort, static_cast<int16_t>(static_cast<uint16_t>(truncated)));
        } else if (floating && is(t, Builtin::Long)) {
            integer(kImmLong, truncated);
        } else if (is(t, Builtin::Double) && (fromFloat || integral)) {
            const double d = fromFloat ? real : static_cast<double>(value.value);
            held.kind = kImmDouble;
            std::memcpy(&held.value, &d, 8);
        } else if (is(t, Builtin::Float) && (fromDouble || integral)) {
            const float f = fromDouble ? static_cast<float>(real) : static_cast<float>(value.value);
            uint32_t bits;
            std::memcpy(&bits, &f, 4);
            held.kind = kImmFloat;
            held.value = bits;
        }
        flagsB |= kFlagHasConstant;
        constantComputed = 1;
    }
    setConst(constant_);
}

void IRObject::setValueRecord(const Operand& value) {
    noteWrite();
    constant.edit() = value;
    flagsB |= kFlagHasConstant | kFlagValueRecord;
    constantComputed = 0;
}

Operand IRObject::lockInstruction(ModelContext& context, uint32_t mode, const NodeHandle&) {
    const uint32_t lockMode = rare().lockMode;
    if (lockMode == kLockNone) {
        const uint32_t code = mode == kLockRead ? kOpLockread : mode == kLockWrite ? kOpLockwrite : kOpLock;
        qestl::SmartPtr instruction = adoptLive(new cbircode(code, 1));
        context.appendToThirdList(instruction);
        Rare& fields = editRare();
        fields.lockOperand.setObjectRef(instruction, 0);
        fields.lockMode = mode;
    } else if ((lockMode == kLockPlain) != (mode == kLockPlain)) {
        return Operand::error(0);
    }
    return rare().lockOperand;
}

void IRObject::checkUse(ModelContext* context, const NodeHandle& node) {
    noteWrite();
    flagsA |= kFlagUsed;
    const bool assigned = (flagsB & kFlagAssigned) != 0 && (flagsC & kFlagUnassigned) == 0;
    if ((context == nullptr || (assigned && (modifiers & kModMayNil) == 0)) && !ownerResult.made() && !classField)
        return;
    checkUseFurther(context, node, assigned);
}

void IRObject::checkUseFurther(ModelContext* context, const NodeHandle& node, bool assigned) {
    if (context != nullptr && !assigned) {
        const NodeHandle at = node ? node : declarationNode.handle();
        if ((flagsC & kFlagUnassigned) == 0) context->reportWarning(diag::MaybeUnassigned, at);
        else context->reportError(diag::Uninitialized, at);
    }
    if (ownerResult.made()) ownerResult.checkUse(context, node);
    if (context != nullptr && (modifiers & kModMayNil)) context->reportWarning(diag::MaybeNilptr, node);
    if (IRObject* field = asObject(classField)) field->checkUse(context, node);
}

uint32_t IRObject::writeTypeOperand(qestl::ByteWriter& out, uint64_t base, uint8_t flags, bool useValueType) {
    uint8_t depth = 0;
    uint8_t bits = flags | (isConst() ? 2 : 0) | (isStatic() ? 4 : 0);
    qestl::SmartPtr held = useValueType ? valueType() : qestl::SmartPtr(this);
    IRObject* t = asObject(held);
    while (t != nullptr && t->isArray()) {
        ++depth;
        held = t->valueType();
        t = asObject(held);
    }
    // Written as the types they stand for, by those types' fixed ids.
    uint32_t standsFor = 0;
    if (is(t, Builtin::ObjectPtr) || is(t, Builtin::ObjectRef)) standsFor = kAnyTypeId;
    else if (is(t, Builtin::Pointer)) standsFor = kLongTypeId;
    uint64_t value = 0;
    if (standsFor != 0) {
        bits |= 1;
        value = standsFor;
    } else if (t == nullptr) {
        bits |= 1;
    } else if (t->id() != 0) {
        bits |= 1;
        value = t->id();
    } else {
        value = t->address() - base;
    }
    out.u32le(static_cast<uint32_t>(depth) | (static_cast<uint32_t>(kind & 0xFF) << 8) |
              (static_cast<uint32_t>(bits) << 16));
    out.u64le(value);
    return 12;
}

}  // namespace model
