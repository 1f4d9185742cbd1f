// Comparisons: their operand check (never folded), the warnings about
// outcomes known at compile time and signed/unsigned mixes, and the nilptr
// states a comparison or a "!" records for the branches that follow.
#include <algorithm>
#include <string>

#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/operand_checks.h"
#include "model/builtin_types.h"
#include "statements/compile_walk.h"

namespace expressions {
namespace {

constexpr int8_t kRankByte = 1;
constexpr int8_t kRankChar = 2;

bool isComparableNumeric(const model::IRObject* type) {
    for (model::Builtin ref :
         {model::Builtin::Byte, model::Builtin::Char, model::Builtin::Short, model::Builtin::Int, model::Builtin::Long,
          model::Builtin::Pointer, model::Builtin::Float, model::Builtin::Double})
        if (model::isBuiltin(type, ref)) return true;
    return false;
}

bool isUnsignedRank(int8_t rank) { return rank == kRankByte || rank == kRankChar; }

int8_t rankOf(const model::IRObject* type) { return type != nullptr ? type->numericRank : 0; }

bool isNumericConstant(const model::IRObject* object) {
    if (object == nullptr || !object->hasConstantValue()) return false;
    const uint32_t kind = object->constantValue().kind;
    return kind >= model::kImmByte && kind <= model::kImmDouble;
}

model::IRObject* valueTypeOf(const model::IRObject* object, qestl::SmartPtr& holder) {
    holder = object != nullptr ? object->valueType() : qestl::SmartPtr();
    return model::asObject(holder);
}

void reportWithTypes(CompileContext& context, const qestl::SmartPtr& a, const qestl::SmartPtr& b,
                     const StatementNode& node) {
    qestl::qestringA listing;
    model::IRValueList listed;
    listed.pushBack(model::IRResult(a));
    if (b) listed.pushBack(model::IRResult(b));
    appendCandidateList(listed, listing);
    context.reportError(diag::TypeUnsupportedListed, node, listing);
}

bool isOrdered(std::string_view text) { return text != "==" && text != "!="; }

}  // namespace

bool constantFitsType(const model::Operand& constant, int8_t rank) {
    const int64_t value = constant.value;
    switch (rank) {
    case 1: return value == static_cast<int64_t>(static_cast<uint8_t>(value));
    case 2: return value == static_cast<int64_t>(static_cast<uint16_t>(value));
    case 3: return value == static_cast<int64_t>(static_cast<int16_t>(value));
    case 4: return value == static_cast<int64_t>(static_cast<int32_t>(value));
    default: return true;
    }
}

void warnConstantCondition(CompileContext& context, const model::IRObject* left, const model::IRObject* right,
                           std::string_view text, const StatementNode& node) {
    const model::IRObject* constant = nullptr;
    const model::IRObject* other = nullptr;
    std::string oriented(text);
    if (left != nullptr && left->isConst() && left->hasConstantValue()) {
        constant = left;
        other = right;
    } else if (right != nullptr && right->isConst() && right->hasConstantValue()) {
        constant = right;
        other = left;
        // Mirrored so that the constant reads first: "<" and ">" swap.
        if (oriented.find('<') != std::string::npos) std::replace(oriented.begin(), oriented.end(), '<', '>');
        else std::replace(oriented.begin(), oriented.end(), '>', '<');
    }
    if (constant == nullptr || !isNumericConstant(constant)) return;
    const int64_t value = constant->constantValue().value;
    if (isNumericConstant(other)) {
        const bool equal = other->constantValue().value == value;
        if (equal && oriented == "==") {
            context.reportWarning(diag::AlwaysTrue, node);
        } else if (!equal && oriented == "==") {
            context.reportWarning(diag::AlwaysFalse, node);
        }
    }
    if (value != 0 || other == nullptr) return;
    qestl::SmartPtr holder;
    if (!isUnsignedRank(rankOf(valueTypeOf(other, holder)))) return;
    if (oriented == "<" || oriented == ">" || oriented == ">=") {
        context.reportWarning(diag::UnsignedAlwaysNonNegative, node);
    }
}

bool foldComparison(CompileContext& context, uint32_t, int32_t count, const model::IRResult& right,
                    const model::IRResult& left, qestl::SmartPtr& resultType, const StatementNode& node) {
    if (count != 2) {
        context.reportError(diag::MissingOperand, node);
        return false;
    }
    resultType = context.builtins().intType;
    const std::string_view text = node->text.view();
    qestl::SmartPtr leftHolder, rightHolder;
    model::IRObject* leftType = valueTypeOf(left.objectPtr(), leftHolder);
    model::IRObject* rightType = valueTypeOf(right.objectPtr(), rightHolder);
    if (leftType == nullptr) {
        context.reportError(diag::OperandTypeUnsupported, node);
        return false;
    }
    const bool leftNumeric = isComparableNumeric(leftType);
    if (!leftNumeric && isOrdered(text)) {
        reportWithTypes(context, leftHolder, qestl::SmartPtr(), node);
        return false;
    }
    if (isComparableNumeric(rightType)) {
        if (!leftNumeric) {
            reportWithTypes(context, leftHolder, rightHolder, node);
            return false;
        }
    } else if (isOrdered(text)) {
        context.reportError(diag::OperandTypeUnsupported, node);
        return false;
    } else if (rightType == nullptr || !(model::convertible(&context, leftType, rightHolder, true) ||
                                         model::convertible(&context, rightType, leftHolder, true))) {
        reportWithTypes(context, leftHolder, rightHolder, node);
        return false;
    }
    warnConstantCondition(context, left.objectPtr(), right.objectPtr(), text, node);
    const int8_t leftRank = rankOf(leftType);
    const int8_t rightRank = rankOf(rightType);
    if (leftRank != rightRank) {
        bool mismatch;
        if (left.objectPtr()->hasConstantValue()) mismatch = !constantFitsType(left.objectPtr()->constantValue(), rightRank);
        else if (right.objectPtr()->hasConstantValue())
            mismatch = !constantFitsType(right.objectPtr()->constantValue(), leftRank);
        else mismatch = isUnsignedRank(leftRank) != isUnsignedRank(rightRank);
        if (mismatch) context.reportWarning(diag::SignedUnsignedMix, node);
    }
    return true;
}

}  // namespace expressions
