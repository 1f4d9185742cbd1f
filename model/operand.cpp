#include "model/operand.h"

#include <new>

#include "foundation/object_heap.h"
#include "model/ircode.h"

namespace model {

void Operand::setObjectRef(const qestl::SmartPtr& ref, int64_t offset) {
    qestl::SmartPtr hold = ref;  // ref may be this operand's own target
    kind = kObjectReference;
    target = hold;
    displacement = offset;
    link = nullptr;
}

Operand& Operand::intImmediate(int64_t number, uint32_t type) {
    target.reset();
    link = nullptr;
    displacement = 0;
    encodedKind = 0;
    encodedValue = 0;
    kind = kImmInt;
    value = static_cast<int32_t>(static_cast<uint32_t>(number));
    dataType = type;
    return *this;
}

}  // namespace model

namespace model {

namespace {
Operand* makeSlots(size_t count) {
    auto* slots = static_cast<Operand*>(qestl::allocateObjectMemory(count * sizeof(Operand)));
    for (size_t i = 0; i < count; ++i) new (&slots[i]) Operand();
    return slots;
}

void dropSlots(Operand* slots, size_t count) {
    if (slots == nullptr) return;
    for (size_t i = 0; i < count; ++i) slots[i].~Operand();
    qestl::freeObjectMemory(slots, count * sizeof(Operand));
}

}  // namespace

OperandSlots::~OperandSlots() {
    dropSlots(rest_, kMaxOperands - firstCount_);
    dropSlots(first_, firstCount_);
}

const Operand& OperandSlots::operator[](size_t i) const {
    static const Operand kEmpty;
    if (i < firstCount_) return first_[i];
    if (rest_ != nullptr && i < kMaxOperands) return rest_[i - firstCount_];
    return kEmpty;
}

void OperandSlots::reserve(size_t count) {
    if (first_ != nullptr || count == 0) return;
    if (count > kMaxOperands) internalFault("Operands out of opcode");
    first_ = makeSlots(count);
    firstCount_ = static_cast<uint32_t>(count);
}

Operand& OperandSlots::slotBeyond(size_t i) {
    if (i >= kMaxOperands) internalFault("Operands out of opcode");
    if (first_ == nullptr) {
        reserve(i + 1);
        return first_[i];
    }
    if (rest_ == nullptr && firstCount_ < kMaxOperands) rest_ = makeSlots(kMaxOperands - firstCount_);
    return rest_[i - firstCount_];
}

void OperandSlots::copyFrom(const OperandSlots& other) {
    const size_t count = other.capacity();
    if (first_ == nullptr) reserve(count);
    for (size_t i = 0; i < count; ++i) (*this)[i] = other[i];
    for (size_t i = count; i < capacity(); ++i) (*this)[i] = Operand();
}

void OperandSlots::releaseTargets() {
    for (size_t i = 0; i < capacity(); ++i) (*this)[i].target.reset();
}

}  // namespace model
