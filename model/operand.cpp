#include "model/operand.h"

#include <new>

#include "foundation/object_heap.h"
#include "model/ircode.h"

namespace model {

void Operand::setObjectRef(const qestl::SmartPtr& ref, int64_t offset) {
    qestl::SmartPtr hold = ref;  // ref may be this operand's own target
    if (kind == kPendingLabel) value = 0;  // the link
    kind = kObjectReference;
    target = hold;
    displacement = static_cast<int32_t>(offset);
}

Operand& Operand::intImmediate(int64_t number, uint32_t type) {
    target.reset();
    displacement = 0;
    encodedKind = 0;
    valueEncoded = 0;
    kind = kImmInt;
    value = static_cast<int32_t>(static_cast<uint32_t>(number));
    dataType = static_cast<uint8_t>(type);
    return *this;
}

}  // namespace model

namespace model {

namespace {

// What a slot of a zero tail reads as: an int immediate 0, resolved.
Operand resolvedZero() {
    Operand zero(0, kImmInt, kTypeInt);
    zero.encodedKind = kImmInt;
    return zero;
}

// Out of the way of the reads of made slots, which stay small enough to be
// inlined.
[[gnu::noinline]] const Operand& zeroSlot() {
    static const Operand kZero = resolvedZero();
    return kZero;
}

Operand* makeSlots(size_t count, bool zero = false) {
    auto* slots = static_cast<Operand*>(qestl::allocateObjectMemory(count * sizeof(Operand)));
    for (size_t i = 0; i < count; ++i) new (&slots[i]) Operand(zero ? resolvedZero() : Operand());
    return slots;
}

void dropSlots(Operand* slots, size_t count) {
    if (slots == nullptr) return;
    for (size_t i = 0; i < count; ++i) slots[i].~Operand();
    qestl::freeObjectMemory(slots, count * sizeof(Operand));
}

}  // namespace

struct OperandSlots::Overflow {
    Operand* first;
    Operand* rest;  // the slots beyond the first, up to the tenth
    size_t firstCount;

    Operand& slot(size_t i) const { return i < firstCount ? first[i] : rest[i - firstCount]; }
};

OperandSlots::~OperandSlots() {
    if (!overflowed()) {
        dropSlots(first_, firstCount_);
        return;
    }
    Overflow* const overflow = overflow_;
    dropSlots(overflow->rest, kMaxOperands - overflow->firstCount);
    dropSlots(overflow->first, overflow->firstCount);
    qestl::freeObjectMemory(overflow, sizeof(Overflow));
}

const Operand& OperandSlots::operator[](size_t i) const {
    static const Operand kEmpty;
    if (i < firstCount_) return first_[i];
    if (overflowed() && i < kMaxOperands) return overflow_->slot(i);
    return zeroTail_ != 0 && i < kMaxOperands ? zeroSlot() : kEmpty;
}

void OperandSlots::reserve(size_t count) {
    if (first_ != nullptr || count == 0) return;
    if (count > kMaxOperands) internalFault("Operands out of opcode");
    first_ = makeSlots(count);
    firstCount_ = static_cast<uint8_t>(count);
}

void OperandSlots::reserveWithZeroTail(size_t count) {
    if (first_ != nullptr || count == 0) return;
    reserve(count);
    zeroTail_ = 1;
}

Operand& OperandSlots::slotBeyond(size_t i) {
    if (i >= kMaxOperands) internalFault("Operands out of opcode");
    if (first_ == nullptr) {
        reserve(i + 1);
        return first_[i];
    }
    if (!overflowed()) {
        // firstCount_ is below ten here: a slot past the tenth faulted above.
        Operand* const rest = makeSlots(kMaxOperands - firstCount_, zeroTail_ != 0);
        overflow_ = new (qestl::allocateObjectMemory(sizeof(Overflow))) Overflow{first_, rest, firstCount_};
        firstCount_ = 0;
    }
    return overflow_->slot(i);
}

void OperandSlots::copyFrom(const OperandSlots& other) {
    const size_t count = other.capacity();
    if (first_ == nullptr) {
        reserve(count);
        zeroTail_ = first_ != nullptr ? other.zeroTail_ : 0;
    }
    for (size_t i = 0; i < count; ++i) (*this)[i] = i < other.firstCount_ ? other.first_[i] : other[i];
    // Slots other never made read as it reads them.
    for (size_t i = count; i < capacity(); ++i) (*this)[i] = other.zeroTail_ != 0 ? zeroSlot() : Operand();
}

void OperandSlots::releaseTargets() {
    // Every record lets go of its targets as it goes: the slots made with it
    // are walked without asking for each one by its number.
    if (!overflowed()) {
        for (Operand& slot : madeSlots()) slot.target.reset();
        return;
    }
    for (size_t i = 0; i < kMaxOperands; ++i) overflow_->slot(i).target.reset();
}

}  // namespace model
