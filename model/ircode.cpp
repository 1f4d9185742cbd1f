#include "model/ircode.h"

#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {

cbircode::cbircode(const cbircode& other)
    : cbSmartCore(other),
      opcode(other.opcode),
      keepFirstOperand(other.keepFirstOperand),
      operandCount(other.operandCount),
      codeAddress(other.codeAddress),
      sourceNode(other.sourceNode) {
    operands.copyFrom(other.operands);
}

cbircode::~cbircode() {
    owner.reset();
    sourceNode.reset();
    operands.releaseTargets();
}

void cbircode::copyFrom(const cbircode& other) {
    if (this == &other) return;
    noteWrite();
    opcode = other.opcode;
    operands.copyFrom(other.operands);
    sourceNode = other.sourceNode;
    keepFirstOperand = other.keepFirstOperand;
    operandCount = other.operandCount;
    codeAddress = other.codeAddress;
    resolvedOnce = 0;
}

void cbircode::setSource(const qestl::SmartPtr& ownerRef, const NodeHandle& node) {
    noteWrite();
    sourceNode = NodeHandle(node);
    owner = ownerRef;
}

void cbircode::setSource(const qestl::SmartPtr& ownerRef, const SourcePlace& place) {
    noteWrite();
    sourceNode = place;
    owner = ownerRef;
}

void cbircode::detach() {
    if (kept) return;
    // Slots never made hold nothing to release.
    const uint64_t used = operandCount < operands.capacity() ? operandCount : operands.capacity();
    for (uint64_t i = 0; i < used; ++i) {
        Operand& operand = operands[i];
        qestl::SmartPtr held = operand.target;
        operand.target.reset();
        operand.displacement = operand.value = 0;
        operand.valueEncoded = 0;
        operand.kind = operand.encodedKind = operand.dataType = 0;
        if (held) static_cast<cbSmartCore*>(held.get())->detach();
    }
    if (const NodeHandle& node = sourceNode.node()) {
        node->children.clear();
        node->operands.clear();
    }
    sourceNode.reset();
    detachObjectRef(owner);
}

bool cbircode::resolveOperands(ModelContext& context) { return resolveInstruction(context); }

// Apart from resolveInstruction, whose common case then calls nothing.
bool cbircode::resolveNamedOperands(ModelContext& context, uint64_t first, uint64_t count) {
    bool resolved = true;
    Operand* const slots = operands.sideBySide(count);
    for (uint64_t i = first; i < count; ++i) {
        // Most operands name nothing: a call to the context for each cost
        // more than resolving them here.
        Operand& operand = slots != nullptr ? slots[i] : operands[i];
        if (!operand.target) operand.resolveAsItself();
        else resolved = context.resolveOperand(operand, i == 0 && keepFirstOperand != 0) && resolved;
    }
    return resolved;
}

uint32_t cbircode::writeTypeOperand(qestl::ByteWriter& out, uint64_t, uint8_t flags, bool) {
    out.u32le(static_cast<uint32_t>(flags) << 16);
    out.u64le(0);
    return 12;
}

uint64_t cbircode::encode(ModelContext& context, qestl::ByteWriter& out, void*, uint64_t position) {
    return encodeInstruction(context, out, position);
}

// Offsets count from the record's end.
void cbircode::fixUpOperands(ModelContext& context, uint64_t position) {
    const uint64_t end = position + encodedSize();
    for (uint64_t i = 0; i < operandCount; ++i) {
        Operand& operand = operands[i];
        if (operand.refersElsewhere()) context.fixupOperand(operand, *this, end);
    }
}

void cbircode::unresolvedOperandFault(uint64_t index) const {
    internalFault("internal error: unresolved operand %" PRIu64 " of opcode %" PRIu32, index, opcode);
}

void detachObjectRef(qestl::SmartPtr& field) {
    if (!field) return;
    qestl::SmartPtr hold = field;
    field.reset();
    static_cast<cbSmartCore*>(hold.get())->detach();
}

qestl::SmartPtr makeCheckEspInstruction(int64_t value) {
    auto* record = new cbircode(kOpCheckesp, 1);
    record->operands[0] = Operand(value, kImmLong, kTypeLong);
    return adoptLive(record);
}

qestl::SmartPtr makeInterfaceInstruction() { return adoptLive(new cbircode(kOpInterface, 2)); }

void internalFault(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
    std::putchar('\n');
    std::fflush(stdout);
    std::abort();
}

}  // namespace model
