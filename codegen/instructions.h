// Instruction factories, typed operand makers and the small helpers of the
// image writer.
#pragma once

#include <cstdint>

#include "foundation/byte_io.h"
#include "foundation/smart_ptr.h"
#include "model/ir_object.h"
#include "model/ircode.h"

namespace codegen {

using model::cbircode;
using model::NodeHandle;
using model::Operand;
using qestl::SmartPtr;

// Register operands typed like a type (11 without one).
Operand makeEaxOperand(model::IRObject* type);
Operand makeEbxOperand(model::IRObject* type);
Operand makeEcxOperand(model::IRObject* type);
Operand makeEdxOperand(model::IRObject* type);
Operand makeRegisterOperand(int64_t number, model::IRObject* type);
void setImmediateOperand(Operand& operand, int64_t value, uint8_t kind, model::IRObject* type);
// The zero value of each primitive kind (1 byte ... 8 bool).
Operand makeZeroOperand(uint32_t kind);
// nilptr, and the zero of every object type: an operand of no kind, typed
// object; the image carries it as it is, there is no object to refer to.
Operand makeNilOperand();
// Assigns slot i and normalises it (encoded kind and value from the kind and
// value); the count stays.
void setInstructionOperand(cbircode& instruction, size_t i, const Operand& operand);
void setOperandPair(cbircode& instruction, size_t i, const Operand& a, const Operand& b);
void setOperandTriple(cbircode& instruction, size_t i, const Operand& a, const Operand& b, const Operand& c);
void setFiveOperands(cbircode& instruction, const Operand& a, const Operand& b, const Operand& c, const Operand& d,
                     const Operand& e);

// A registered instruction of an opcode and operand count.
SmartPtr makeInstruction(uint32_t opcode, int count);

#define ONE_OPERAND_FACTORY(function, opcode) SmartPtr function(const Operand& operand);
#define NO_OPERAND_FACTORY(function, opcode) SmartPtr function();
#include "codegen/factories.def"
#undef ONE_OPERAND_FACTORY
#undef NO_OPERAND_FACTORY

SmartPtr makeInstructionWithOperand(uint32_t opcode, const Operand& operand);
SmartPtr makeInstructionWithTwoOperands(uint32_t opcode, const Operand& a, const Operand& b);
// A call whose first operand waits for the label (kind 25), then long 0.
SmartPtr makeCall(Operand* label);
SmartPtr makeCallInstance(const SmartPtr& object);
SmartPtr makeRet(const NodeHandle& node);
SmartPtr makeRetDelesp(const NodeHandle& node);
SmartPtr makeInterrupt(int32_t number);
SmartPtr makeMapseh(const Operand& operand);
SmartPtr makePushIntImmediate(int32_t value);
SmartPtr makePushTypeId(int32_t id);
SmartPtr makePushRegister(int64_t number, model::IRObject* type);
SmartPtr makePopRegister(int64_t number, model::IRObject* type);
SmartPtr makeAllocesp(int64_t size);
SmartPtr makeChecketp(int64_t a, int64_t b);
SmartPtr makeJex(int32_t mode, const Operand& operand);
SmartPtr makeMovEdxEax(model::IRObject* edxType, model::IRObject* eaxType);
SmartPtr makeJump(uint32_t opcode, int64_t value);

// Resolution of one operand before addresses are read (always true), and
// its fix-up just before writing; base is the end of the record. The fix-up
// is false when the operand refers to a record the image never placed.
bool resolveOperand(Operand& operand, model::ModelContext& context, bool keepAsTarget);
bool fixupOperand(Operand& operand, cbircode& record, uint64_t base);

// The sum of the encoded sizes of list[from, to).
uint64_t codeSize(const qestl::SmartPtrVector& list, size_t from, size_t to);

}  // namespace codegen
