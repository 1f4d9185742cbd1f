#include "model/enclosing_scopes.h"

#include "model/opcodes.h"

namespace model {

IRResult enclosingInstance(IRObject& object, uint32_t steps) {
    return IRResult(object.getThisObject(), Operand(steps, kThisField, typeCodeOf(&object)));
}

void readThrough(IRResult& member, const Operand& owner) {
    if (member.pending.empty()) return;
    // owner, member slot, accumulator
    auto* load = member.pending.back().as<cbircode>();
    if (load->operandCount == 3 && load->operands[2].isRegister(kEax)) load->operands[0] = owner;
}

void readCaptured(IRResult& local, IRObject& capturing, uint32_t steps) {
    Operand slot = local.operand;
    slot.kind = kClosureSlot;
    if (steps == 0) {
        local.operand = slot;
        return;
    }
    auto* enter = new cbircode(kOpPushloadThisOperand, 1);
    local.appendInstructionRef(adoptLive(enter));
    enter->operands[0] = enclosingInstance(capturing, steps).operand;
    auto* read = new cbircode(kOpMov, 2);
    local.appendInstructionRef(adoptLive(read));
    read->operands[0] = Operand(kEax, kRegister, slot.dataType);
    read->operands[1] = slot;
    local.appendInstructionRef(adoptLive(new cbircode(kOpPopThis, 0)));
    local.operand = read->operands[0];
}

}  // namespace model
