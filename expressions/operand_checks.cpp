// The operand checkers of the arithmetic, shift, bitwise and subscript
// operators. Each returns true when the instruction is to be emitted (the
// result type in `resultType`), false after reporting an error or after
// folding two constants into one, which is then the single candidate.
#include <utility>

#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/constant_folding.h"
#include "expressions/operand_checks.h"
#include "model/builtin_types.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace expressions {
namespace {

model::IRObject* valueTypeOf(const model::IRResult& value, qestl::SmartPtr& holder) {
    model::IRObject* object = value.objectPtr();
    holder = object != nullptr ? object->valueType() : qestl::SmartPtr();
    return model::asObject(holder);
}

bool isConstantValue(const model::IRResult& value) {
    const model::IRObject* object = value.objectPtr();
    return object != nullptr && object->hasConstantValue();
}

bool isNumericType(const model::IRObject* type) {
    return isIntegralType(type) || model::isBuiltin(type, model::Builtin::Float) ||
           model::isBuiltin(type, model::Builtin::Double);
}

// An entry that takes the listing of the type concerned.
void reportWithType(CompileContext& context, const Diagnostic& entry, const qestl::SmartPtr& type,
                    const StatementNode& node) {
    qestl::qestringA listing;
    model::IRValueList listed;
    listed.pushBack(model::IRResult(type));
    appendCandidateList(listed, listing);
    context.reportError(entry, node, listing);
}

// The operand is accepted: of the type set, or an enum facing a constant.
bool acceptsOperand(const model::IRObject* type, bool integralOnly, const model::IRResult& other) {
    if (integralOnly ? isIntegralType(type) : isNumericType(type)) return true;
    return type->isEnum() && isConstantValue(other);
}

// The operands' types are read once by the caller (`leftType`, `rightType`):
// every operator on two values asks for them.
bool checkBinaryOperands(CompileContext& context, int32_t count, const model::IRResult& right,
                         const model::IRResult& left, const qestl::SmartPtr& leftType, const qestl::SmartPtr& rightType,
                         bool integralOnly, const StatementNode& node) {
    if (count != 2) {
        context.reportError(diag::MissingOperand, node);
        return false;
    }
    // The left side first, then the right; an enum side is accepted when
    // the other one is a constant.
    for (const auto& [holder, other] : {std::pair{&leftType, &right}, std::pair{&rightType, &left}}) {
        const model::IRObject* type = model::asObject(*holder);
        if (type == nullptr) {
            context.reportError(diag::OperandTypeUnsupported, node);
            return false;
        }
        if (!acceptsOperand(type, integralOnly, *other)) {
            reportWithType(context, diag::TypeUnsupportedListed, *holder, node);
            return false;
        }
    }
    return true;
}

// Both operands are constants: the folded constant becomes the candidate,
// or the folding error is reported. Always false.
bool leaveFolded(CompileContext& context, const model::Operand& folded, const qestl::SmartPtr& resultType,
                 const model::IRResult& right, const StatementNode& node) {
    if (isFoldError(folded)) {
        qestl::SmartPtr rightHolder;
        valueTypeOf(right, rightHolder);
        reportWithType(context,
                       folded.value == kFoldDivideByZero ? diag::DivideByZeroListed : diag::TypeUnsupportedListed,
                       rightHolder, node);
        return false;
    }
    qestl::SmartPtr object = model::makeObject("", model::kKindVariable, resultType, 0);
    model::IRObject* constant = model::asObject(object);
    constant->setConstantValue(folded, true);
    // The value travels as an immediate typed like the result, as a
    // literal's does; the record keeps its own data type.
    model::Operand value = constant->constantValue();
    value.dataType = model::dataTypeOfType(model::asObject(resultType));
    model::IRResult result(object, value);
    result.sourceNode = node;
    context.lookup().addResult(result);
    return false;
}

}  // namespace

bool foldArithmetic(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                    const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node) {
    if (count == 1 && code == model::kOpSub) {
        // Negation keeps its operand's own type and is never folded.
        qestl::SmartPtr holder;
        model::IRObject* type = valueTypeOf(left, holder);
        if (type == nullptr) {
            context.reportError(diag::OperandTypeUnsupported, node);
            return false;
        }
        if (!isNumericType(type)) {
            reportWithType(context, diag::TypeUnsupportedListed, holder, node);
            return false;
        }
        resultType = holder;
        return true;
    }
    qestl::SmartPtr leftHolder, rightHolder;
    if (count == 2) {
        valueTypeOf(left, leftHolder);
        valueTypeOf(right, rightHolder);
        if (leftHolder) resultType = model::widerNumericType(leftHolder, rightHolder, context.builtins().intType);
    }
    if (!checkBinaryOperands(context, count, right, left, leftHolder, rightHolder, false, node)) return false;
    if (!isConstantValue(left) || !isConstantValue(right)) return true;
    return leaveFolded(
        context, foldArithmeticValues(code, left.objectPtr()->constantValue(), right.objectPtr()->constantValue()),
        resultType, right, node);
}

bool foldIntegerOperator(CompileContext& context, uint32_t code, int32_t count, const model::IRResult& right,
                         const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node) {
    qestl::SmartPtr leftHolder, rightHolder;
    if (count == 2) {
        valueTypeOf(left, leftHolder);
        valueTypeOf(right, rightHolder);
        // A shift has its left operand's type whatever its count's; the
        // others the wider operand's, as arithmetic has, so that neither
        // side is cut by the order the two stand in.
        const qestl::SmartPtr& intType = context.builtins().intType;
        if (leftHolder)
            resultType = model::widerNumericType(leftHolder, isShiftCode(code) ? intType : rightHolder, intType);
    }
    if (!checkBinaryOperands(context, count, right, left, leftHolder, rightHolder, true, node)) return false;
    if (!isConstantValue(left) || !isConstantValue(right)) return true;
    return leaveFolded(context,
                       foldIntegerValues(code, left.objectPtr()->constantValue(), right.objectPtr()->constantValue()),
                       resultType, right, node);
}

bool foldBitwiseNot(CompileContext& context, uint32_t, int32_t count, const model::IRResult&,
                    const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node) {
    if (count != 1) {
        context.reportError(diag::MissingOperand, node);
        return false;
    }
    qestl::SmartPtr holder;
    model::IRObject* type = valueTypeOf(left, holder);
    if (type == nullptr) {
        context.reportError(diag::OperandTypeUnsupported, node);
        return false;
    }
    resultType = model::widerNumericType(holder, context.builtins().intType, context.builtins().intType);
    if (!isIntegralType(type)) {
        reportWithType(context, diag::TypeUnsupportedListed, holder, node);
        return false;
    }
    return true;
}

bool foldArraySubscript(CompileContext& context, uint32_t, int32_t count, const model::IRResult& right,
                        const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node) {
    if (count != 2) {
        context.reportError(diag::MissingOperand, node);
        return false;
    }
    qestl::SmartPtr holder;
    model::IRObject* type = valueTypeOf(left, holder);
    if (type == nullptr || !type->isArray()) {
        context.reportError(diag::NotAnArray, node);
        return false;
    }
    resultType = left.objectPtr()->typeOfType();
    // The index must be integral; any element type may be read.
    qestl::SmartPtr indexHolder;
    model::IRObject* indexType = valueTypeOf(right, indexHolder);
    if (!isIntegralType(indexType)) {
        reportWithType(context, diag::TypeUnsupportedListed, indexHolder, node);
        return false;
    }
    return true;
}

}  // namespace expressions
