#include "codegen/instructions.h"

#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace codegen {

using namespace model;

Operand makeRegisterOperand(int64_t number, IRObject* type) { return Operand(number, kRegister, dataTypeOfType(type)); }
Operand makeEaxOperand(IRObject* type) { return makeRegisterOperand(kEax, type); }
Operand makeEbxOperand(IRObject* type) { return makeRegisterOperand(kEbx, type); }
Operand makeEcxOperand(IRObject* type) { return makeRegisterOperand(kEcx, type); }
Operand makeEdxOperand(IRObject* type) { return makeRegisterOperand(kEdx, type); }

void setImmediateOperand(Operand& operand, int64_t value, uint8_t kind, IRObject* type) {
    operand = Operand(value, kind, dataTypeOfType(type));
}

Operand makeZeroOperand(uint32_t kind) { return Operand(0, kind, kind); }

Operand makeNilOperand() { return Operand(0, model::kOperandNone, model::kTypeObject); }

void setInstructionOperand(cbircode& instruction, size_t i, const Operand& operand) {
    Operand& slot = instruction.operands[i];
    slot = operand;
    slot.encodedKind = operand.kind;
    slot.encodeValue();
}

void setOperandPair(cbircode& instruction, size_t i, const Operand& a, const Operand& b) {
    instruction.operands[i] = a;
    instruction.operands[i + 1] = b;
    instruction.operandCount = i + 2;
}

void setOperandTriple(cbircode& instruction, size_t i, const Operand& a, const Operand& b, const Operand& c) {
    instruction.operands[i] = a;
    instruction.operands[i + 1] = b;
    instruction.operands[i + 2] = c;
    instruction.operandCount = i + 3;
}

void setFiveOperands(cbircode& instruction, const Operand& a, const Operand& b, const Operand& c, const Operand& d,
                     const Operand& e) {
    instruction.operands[0] = a;
    instruction.operands[1] = b;
    setOperandTriple(instruction, 2, c, d, e);
}

SmartPtr makeInstruction(uint32_t opcode, int count) { return adoptLive(new cbircode(opcode, count)); }

SmartPtr makeInstructionWithOperand(uint32_t opcode, const Operand& operand) {
    SmartPtr made = makeInstruction(opcode, 1);
    made.as<cbircode>()->operands[0] = operand;
    return made;
}

SmartPtr makeInstructionWithTwoOperands(uint32_t opcode, const Operand& a, const Operand& b) {
    SmartPtr made = makeInstruction(opcode, 2);
    made.as<cbircode>()->operands[0] = a;
    made.as<cbircode>()->operands[1] = b;
    return made;
}

#define ONE_OPERAND_FACTORY(function, name) \
    SmartPtr function(const Operand& operand) { return makeInstructionWithOperand(kOp##name, operand); }
#define NO_OPERAND_FACTORY(function, name) \
    SmartPtr function() { return makeInstruction(kOp##name, 0); }
#include "codegen/factories.def"
#undef ONE_OPERAND_FACTORY
#undef NO_OPERAND_FACTORY

SmartPtr makeCall(Operand* label) {
    Operand pending(0, kPendingLabel, 0);
    pending.linkTo(label);
    return makeInstructionWithTwoOperands(kOpCall, pending, Operand(0, kImmLong, kTypeLong));
}

SmartPtr makeCallInstance(const SmartPtr& object) {
    Operand reference;
    reference.setObjectRef(object, 0);
    return makeInstructionWithOperand(kOpCallInstance, reference);
}

SmartPtr makeRet(const NodeHandle& node) {
    SmartPtr made = makeInstruction(kOpRet, 0);
    made.as<cbircode>()->sourceNode = node;
    return made;
}

SmartPtr makeRetDelesp(const NodeHandle& node) {
    SmartPtr made = makeInstruction(kOpRetDelesp, 0);
    made.as<cbircode>()->sourceNode = node;
    return made;
}

SmartPtr makeInterrupt(int32_t number) { return makeInstructionWithOperand(kOpInterrupt, Operand(number, kImmInt, kTypeInt)); }

SmartPtr makeMapseh(const Operand& operand) {
    return makeInstructionWithTwoOperands(kOpMapseh, operand, Operand(0, kImmInt, kTypeInt));
}

SmartPtr makePushIntImmediate(int32_t value) { return makePush(Operand(value, kImmInt, kTypeInt)); }
SmartPtr makePushTypeId(int32_t id) { return makePush(Operand(id, kTypeId, kTypeType)); }
SmartPtr makePushRegister(int64_t number, IRObject* type) { return makePush(makeRegisterOperand(number, type)); }
SmartPtr makePopRegister(int64_t number, IRObject* type) {
    return makeInstructionWithOperand(kOpPop, makeRegisterOperand(number, type));
}
SmartPtr makeAllocesp(int64_t size) { return makeInstructionWithOperand(kOpAllocesp, Operand(size, kImmLong, kTypeLong)); }
SmartPtr makeChecketp(int64_t a, int64_t b) {
    return makeInstructionWithTwoOperands(kOpChecketp, Operand(a, kImmLong, kTypeLong), Operand(b, kImmLong, kTypeLong));
}
SmartPtr makeJex(int32_t mode, const Operand& operand) {
    return makeInstructionWithTwoOperands(kOpJex, Operand(mode, kImmInt, kTypeInt), operand);
}
SmartPtr makeMovEdxEax(IRObject* edxType, IRObject* eaxType) {
    return makeInstructionWithTwoOperands(kOpMov, makeEdxOperand(edxType), makeEaxOperand(eaxType));
}
SmartPtr makeJump(uint32_t opcode, int64_t value) { return makeInstructionWithOperand(opcode, Operand(value)); }

bool resolveOperand(Operand& operand, ModelContext& context, bool keepAsTarget) {
    for (;;) {
        IRObject* target = nullptr;
        if (operand.target) {
            auto* record = operand.target.as<cbircode>();
            if (record->imported) {
                // Only objects addressed through the relocation table can be
                // linked; the others still go through it, with a warning.
                target = static_cast<IRObject*>(record);
                if (record->opcode != kOpClassRecord) {
                    context.reportWarning(diag::UnsupportedLink, target->declarationNode.handle(), target->linkName());
                }
                const Operand nameOperand = context.stringResource(target->linkName().view());
                operand = context.relocationReference(target->linkName().view(), nameOperand, target->cachedHash());
            } else if (record->opcode == kOpObjectRecord) {
                target = static_cast<IRObject*>(record);
                if (target->isConst() && target->hasConstantValue() && !keepAsTarget) {
                    operand = target->constantValue();
                    keepAsTarget = false;
                    continue;
                }
                setDataTypeFromValue(operand, target);
            }
        }
        if (!operand.target) operand.resolveAsItself();
        else operand.encodedKind = operand.kind;
        return true;
    }
}

bool fixupOperand(Operand& operand, cbircode& record, uint64_t base) {
    if (Operand* label = operand.link()) {
        operand = *label;
        if (operand.kind == kPendingLabel) operand.value = 0;  // a link of its own is not followed
    }
    if (!operand.target) return true;
    auto* target = operand.target.as<cbircode>();
    if (target->opcode == kOpClassRecord) {
        auto* klass = static_cast<IRObject*>(target);
        klass->checkUse(nullptr, NodeHandle());
        if (klass->id() != 0) {
            operand.kind = operand.encodedKind = kSystemClass;
            operand.setEncodedValue(static_cast<int32_t>(klass->id()));
            operand.target.reset();
            return true;
        }
    }
    const bool placed = target->address() != model::kUnplaced;
    const int64_t offset =
        static_cast<int64_t>(target->address()) + operand.displacement - static_cast<int64_t>(base);
    operand.setEncodedValue(offset);
    uint32_t kind;
    if (target->opcode == kOpResource) kind = kResourceOffset;
    else if (record.opcode == kOpCall || record.opcode == kOpCallEqu || record.opcode == kOpCallNequ) kind = kCodeOffset;
    else if (target->isFunction()) kind = kFunctionOffset;
    else kind = operand.kind == kLibraryObjectOffset ? kLibraryObjectOffset : kCodeOffset;
    operand.kind = operand.encodedKind = kind;
    return placed;
}

uint64_t codeSize(const qestl::SmartPtrVector& list, size_t from, size_t to) {
    uint64_t total = 0;
    for (size_t i = from; i < to && i < list.size(); ++i) total += list[i].as<cbircode>()->encodedSize();
    return total;
}

}  // namespace codegen
