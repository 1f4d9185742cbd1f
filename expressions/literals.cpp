// Value literals: a constant object whose value travels as the operand of
// its result (an immediate, or a string resource); no instruction is
// emitted.
#include <bit>
#include <cstring>

#include "codegen/compile_context.h"
#include "codegen/resource_table.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "foundation/text_number.h"
#include "model/builtin_types.h"
#include "statements/compile_walk.h"
#include "syntax/scanner.h"

namespace {

constexpr uint32_t kLiteralResult = 99;

model::IRResult makeLiteral(CompileContext& context, const StatementNode& node, const qestl::SmartPtr& type,
                            const model::Operand& value) {
    qestl::SmartPtr object = model::makeObject("", model::kKindVariable, type, 0);
    model::IRObject* constant = model::asObject(object);
    model::IRResult result(object, value);
    result.sourceNode = node;
    constant->checkUse(&context, node);
    constant->setConstantValue(value, true);
    return result;
}

uint32_t leaveLiteral(CompileContext& context, const StatementNode& node, const qestl::SmartPtr& type,
                      const model::Operand& value) {
    context.lookup().addResult(makeLiteral(context, node, type, value));
    return kLiteralResult;
}

}  // namespace

// The integer literal `12`, `012`, `0x1F` or `12l` (an IntegerLiteral node).
uint32_t compileIntegerLiteral(CompileContext& context, const StatementNode& node) {
    const qestl::IntegerLiteral literal = qestl::readIntegerLiteral(node->text.view());
    const model::BuiltinTypes& types = context.builtins();
    const model::Operand value = literal.isLong ? model::makeImmediate(literal.value, model::kImmLong)
                                                : model::makeImmediate(literal.value, model::kImmInt);
    return leaveLiteral(context, node, literal.isLong ? types.longType : types.intType, value);
}

// The floating literal `1.5` (a FloatLiteral node).
uint32_t compileFloatLiteral(CompileContext& context, const StatementNode& node) {
    const double value = parseFloatText(node->text.c_str() != nullptr ? node->text.c_str() : "");
    return leaveLiteral(context, node, context.builtins().doubleType,
                        model::makeImmediate(std::bit_cast<int64_t>(value), model::kImmDouble));
}

// The literals `true` and `false` (a BoolLiteral node).
uint32_t compileBoolLiteral(CompileContext& context, const StatementNode& node) {
    const bool value = node->text.view() == "true";
    return leaveLiteral(context, node, context.builtins().boolType,
                        model::makeImmediate(value ? 1 : 0, model::kImmBool));
}

// The character literal `'c'` (a CharLiteral node).
uint32_t compileCharLiteral(CompileContext& context, const StatementNode& node) {
    qestl::qestringW units;
    const bool valid = qestl::utf8ToUtf16(node->text.c_str() != nullptr ? node->text.c_str() : "", node->text.length(), units);
    if (!valid || units.length() != 1) {
        context.reportError(diag::BadCharLiteral, node, node->text.view());
        return 0;
    }
    const model::Operand value(units[0], model::kImmChar, model::kTypeChar);
    context.lookup().setResults(makeLiteral(context, node, context.builtins().charType, value));
    return 0;
}

// The string literal `"..."` (a StringLiteral node).
uint32_t compileStringLiteral(CompileContext& context, const StatementNode& node) {
    // Asked with its node: a literal is one of the program's own texts, the
    // ones a string list offers for translation.
    const std::string_view text = node->text.view();
    const model::Operand value = context.tables().resources().getOrAdd(context, text, codegen::kResourceString,
                                                                       text.data(), text.size(), node);
    context.lookup().setResults(makeLiteral(context, node, context.builtins().stringType, value));
    return 0;
}
