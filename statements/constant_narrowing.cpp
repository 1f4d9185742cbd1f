// Warnings for a value stored into a narrower place: an immediate constant is
// judged by its value (a constant that fits passes silently, however wide its
// own type), anything else by the numeric ranks of the two types. Nothing is
// refused and nothing emitted: callers have already refused what cannot be
// converted at all.
#include <cmath>
#include <limits>

#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "model/array_object.h"
#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "statements/compile_walk.h"

namespace {

struct Range {
    int64_t low;
    int64_t high;
};

// What the target's row decides before the rank test.
enum class Verdict { Stop, RankTest };

bool inRange(int64_t value, Range range) { return value >= range.low && value <= range.high; }

void reportConversion(CompileContext& context, const Diagnostic& diagnostic, const model::IRObject* source,
                      const model::IRObject* target, const StatementNode& node) {
    const std::string_view none;
    context.reportWarning(diagnostic, node, source != nullptr ? source->getName().view() : none,
                          target != nullptr ? target->getName().view() : none);
}

// An integral target: immediates of the accepted kinds are judged by value,
// floating immediates always lose precision.
Verdict integralTarget(CompileContext& context, uint32_t firstKind, Range range, const model::Operand& operand,
                       const model::IRObject* source, const model::IRObject* target, const StatementNode& node) {
    const uint32_t kind = operand.kind;
    if (kind >= firstKind && kind <= model::kImmLong) {
        if (inRange(operand.value, range)) return Verdict::Stop;
        context.reportWarning(diag::ConstantNarrowed, node);
    } else if (kind == model::kImmFloat || kind == model::kImmDouble) {
        reportConversion(context, diag::MayLosePrecision, source, target, node);
    }
    return Verdict::RankTest;
}

}  // namespace

void checkConstantNarrowing(CompileContext& context, const qestl::SmartPtr& target, const qestl::SmartPtr& source,
                            model::Operand operand, const StatementNode& node) {
    model::IRObject* to = model::asObject(target);
    model::IRObject* from = model::asObject(source);
    if (model::sameTypeRefs(from, to)) return;
    Verdict verdict = Verdict::RankTest;
    if (model::isBuiltin(to, model::Builtin::Byte)) {
        verdict = integralTarget(context, model::kImmChar, {0, 255}, operand, from, to, node);
    } else if (model::isBuiltin(to, model::Builtin::Int)) {
        verdict = integralTarget(context, model::kImmLong, {std::numeric_limits<int32_t>::min(),
                                                             std::numeric_limits<int32_t>::max()},
                                 operand, from, to, node);
    } else if (model::isBuiltin(to, model::Builtin::Short)) {
        verdict = integralTarget(context, model::kImmInt, {-32768, 32767}, operand, from, to, node);
    } else if (model::isBuiltin(to, model::Builtin::Char)) {
        verdict = integralTarget(context, model::kImmShort, {0, 65535}, operand, from, to, node);
    } else if (model::isBuiltin(to, model::Builtin::Float)) {
        if (operand.kind == model::kImmDouble) reportConversion(context, diag::MayLosePrecision, from, to, node);
    } else if (model::isBuiltin(to, model::Builtin::Long)) {
        if (operand.kind == model::kImmFloat || operand.kind == model::kImmDouble) {
            reportConversion(context, diag::MayLosePrecision, from, to, node);
        }
    } else if (model::isBuiltin(to, model::Builtin::Pointer)) {
        if (model::isBuiltin(from, model::Builtin::Long)) verdict = Verdict::Stop;
    } else if (model::isBuiltin(to, model::Builtin::ObjectPtr) || model::isBuiltin(to, model::Builtin::ObjectRef) ||
               model::isBuiltin(to, model::Builtin::Any)) {
        verdict = Verdict::Stop;
    }
    if (verdict == Verdict::Stop) return;
    const int8_t fromRank = from != nullptr ? from->numericRank : 0;
    const int8_t toRank = to != nullptr ? to->numericRank : 0;
    if (fromRank > toRank) reportConversion(context, diag::MayLoseData, from, to, node);
}

int64_t floatingToInteger(double value, int64_t low, int64_t high) {
    // Casting NaN or an out-of-range double is undefined: settle them first.
    if (std::isnan(value)) return 0;
    if (value <= static_cast<double>(low)) return low;
    if (value >= static_cast<double>(high)) return high;
    return static_cast<int64_t>(value);
}
