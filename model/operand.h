// One operand of an instruction or record, its kinds and data types.
#pragma once

#include <bit>
#include <cstdint>
#include <span>

#include "foundation/smart_ptr.h"

namespace model {

// Kinds of operand (the low 24 bits of a written operand word).
enum OperandKind : uint32_t {
    kOperandNone = 0,
    kImmByte = 1,
    kImmChar = 2,
    kImmShort = 3,
    kImmInt = 4,
    kImmLong = 5,
    kImmFloat = 6,
    kImmDouble = 7,
    kImmBool = 8,
    kStackSlot = 9,
    kHeapSlot = 10,
    kClosureSlot = 11,
    kThisField = 12,
    kThisClassPointer = 13,
    kThisObjectPointer = 14,
    kThisStaticPointer = 15,
    kThisMethodPointer = 16,
    kCodeOffset = 19,
    kExceptionRegister = 20,
    kRegister = 21,
    kTypeId = 23,
    kStringOffset = 24,
    kPendingLabel = 25,
    kObjectReference = 26,
    kResourceOffset = 30,
    kSystemClass = 31,
    kListedCC = 32,
    kErrorOperand = 33,
    kStaticProcedurePointer = 34,
    kLibraryFinalizer = 35,
    kFunctionOffset = 37,
    kLibraryObjectOffset = 39,
};

// Data types of an operand (the high 8 bits of a written operand word).
enum DataTypeCode : uint32_t {
    kTypeNone = 0,
    kTypeByte = 1,
    kTypeChar = 2,
    kTypeShort = 3,
    kTypeInt = 4,
    kTypeLong = 5,
    kTypeFloat = 6,
    kTypeDouble = 7,
    kTypeBool = 8,
    kTypeString = 9,
    kTypeType = 10,
    kTypeObject = 11,
    kTypePointer = 12,
    kTypeMethod = 16,
    kTypeField = 17,
};

// Registers named by a kind-21 operand's value.
enum Register : int64_t { kEax = 0, kEbx = 1, kEcx = 2, kEdx = 3 };

struct Operand {
    Operand() = default;
    Operand(int64_t value, uint32_t kind, uint32_t type)
        : value(value), kind(static_cast<uint8_t>(kind)), dataType(static_cast<uint8_t>(type)) {}
    // A code offset: kind 19, data type long.
    explicit Operand(int64_t offset) : value(offset), kind(kCodeOffset), dataType(kTypeLong) {}
    // What a declaration that failed gives back: kind 33 holding its code.
    static Operand error(int64_t code) { return Operand(code, kErrorOperand, kTypeInt); }

    // Drops the target.
    void releaseObject() { target.reset(); }
    // A jump label still to be bound (kind 25): the operand whose target
    // this one takes, not owned; null for any other kind.
    Operand* link() const { return kind == kPendingLabel ? std::bit_cast<Operand*>(value) : nullptr; }
    void linkTo(Operand* label) {
        kind = kPendingLabel;
        value = std::bit_cast<int64_t>(label);
    }
    // Kind 26 to ref plus displacement; the link is cleared.
    void setObjectRef(const qestl::SmartPtr& ref, int64_t displacement);
    // Kind 4 holding the low 32 bits of value, sign-extended; every other
    // field cleared.
    Operand& intImmediate(int64_t value, uint32_t type);
    bool isRegister(int64_t number) const { return kind == kRegister && value == number; }

    qestl::SmartPtr target;
    // A pending label's link lies here: such an operand has no value of its
    // own until it is bound, and a word of its own for the link made every
    // operand a third larger (a class record has seven).
    int64_t value = 0;
    // Bytes into the record referred to: a record is far shorter than 2 GiB.
    int32_t displacement = 0;
    // A kind fits 8 bits and a data type is the word's high 8 bits: with
    // the displacement in one word and the written value a flag, an operand
    // takes 24 bytes (a class record has seven, an instruction two or three).
    uint8_t encodedKind = 0;
    uint8_t kind = 0;
    uint8_t dataType = 0;
    // Whether the image writes `value` (else 0): once an operand is
    // resolved or fixed up, what it writes is its value, so the written
    // value needs no word of its own. No padding: kept records are compared
    // as bytes.
    uint8_t valueEncoded = 0;

    // The value the image writes.
    int64_t encodedValue() const { return valueEncoded != 0 ? value : 0; }
    // The value is final: the image writes it.
    void encodeValue() { valueEncoded = 1; }
    void setEncodedValue(int64_t written) {
        value = written;
        valueEncoded = 1;
    }

    // Resolution of an operand that names no record: it stands for itself,
    // and the image writes its value.
    void resolveAsItself() {
        encodedKind = kind;
        valueEncoded = 1;
    }
    // Whether it names a label or a record: only such an operand is resolved
    // or fixed up by the compile context, the others are written as they are.
    bool refersElsewhere() const { return link() != nullptr || target; }
};

constexpr int kMaxOperands = 10;

// The operand slots of one record. Most records use two or three of the ten
// a record may have, and there are millions of records, so the slots live
// outside the record, as many as it was made with, from the object heap. A
// slot asked for beyond them comes from a second piece holding the rest of
// the ten: a slot never moves once handed out (pending jumps link to slots).
class OperandSlots {
public:
    OperandSlots() = default;
    explicit OperandSlots(size_t count) { reserve(count); }
    OperandSlots(const OperandSlots&) = delete;
    OperandSlots& operator=(const OperandSlots&) = delete;
    ~OperandSlots();

    Operand& operator[](size_t i) { return i < firstCount_ ? first_[i] : slotBeyond(i); }
    // A slot never asked for reads as an empty operand.
    const Operand& operator[](size_t i) const;
    // Makes the first `count` slots (at most ten) at once, when none exist yet.
    void reserve(size_t count);
    // The same, for a record whose trailing operands are nearly always an
    // int immediate 0 (a class record's last two): those are not made, and
    // read as that immediate, already resolved, until one is written.
    void reserveWithZeroTail(size_t count);
    // Of the first `count` slots, those before the returned number may hold
    // something to resolve or fix up; the others were never made and read
    // as the resolved immediate 0.
    uint64_t resolvable(uint64_t count) const {
        return zeroTail_ != 0 && !overflowed() && count > firstCount_ ? firstCount_ : count;
    }
    // The slots that exist: first the made ones, then the rest of the ten.
    size_t capacity() const { return overflowed() ? kMaxOperands : firstCount_; }
    // Every existing slot of other copied here; slots other lacks are emptied.
    void copyFrom(const OperandSlots& other);
    // Drops every slot's target.
    void releaseTargets();
    // Where the first slots lie, for a walk that asks for them ahead.
    const void* firstSlots() const { return first_; }
    // The slots made with the record, for a walk over many records (none
    // once a slot beyond them was asked for: a few records in a thousand).
    std::span<Operand> madeSlots() { return {first_, first_ != nullptr ? firstCount_ : 0u}; }
    // The first `count` slots where they lie side by side, made with the
    // record (else null): a walk over them need not find each by its number.
    Operand* sideBySide(size_t count) { return !overflowed() && count <= firstCount_ ? first_ : nullptr; }

private:
    struct Overflow;

    Operand& slotBeyond(size_t i);
    bool overflowed() const { return firstCount_ == 0 && first_ != nullptr; }

    // The first slots; once one beyond them is asked for, the piece naming
    // them and the rest of the ten, with firstCount_ 0 so that every read
    // goes past the inlined one. A second pointer in each record for that
    // rare case would make the record 64 bytes rather than 56.
    union {
        Operand* first_ = nullptr;
        Overflow* overflow_;
    };
    uint8_t firstCount_ = 0;  // at most ten
    uint8_t zeroTail_ = 0;    // the slots beyond the first read as immediate 0
};

// Plain immediates and the zero values that declared variables start from.
inline Operand makeImmediate(int64_t value, uint32_t kind) { return Operand(value, kind, kind); }

}  // namespace model
