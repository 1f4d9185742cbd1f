// Operator nodes: their codes and operands, the name an overload method is
// looked up by, and the small instruction helpers the operator compilers
// share.
#include <string_view>

#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "expressions/compile_expression.h"
#include "model/declaration_views.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

// An operator's spelling (three characters at most) and its length packed
// into one number: every expression node asks for its code, and comparing
// texts row by row took longer than the rest of classifying it.
constexpr size_t kLongestOperator = 3;

constexpr uint32_t packedOperator(std::string_view text) {
    uint32_t key = static_cast<uint32_t>(text.size());
    for (char c : text) key = key << 8 | static_cast<unsigned char>(c);
    return key;
}

constexpr uint32_t kPostfixStep = model::kOpBinc - model::kOpFinc;  // Finc -> Binc, Fdec -> Bdec
static_assert(model::kOpBdec - model::kOpFdec == kPostfixStep);

uint32_t codeOfText(std::string_view text) {
    if (text.empty() || text.size() > kLongestOperator) return 0;
    switch (packedOperator(text)) {
#define KORVO_OPERATOR(text, name)                                                      \
    case packedOperator(text):                                                          \
        static_assert(std::string_view(text).size() <= kLongestOperator, "packed key"); \
        return model::kOp##name;
#include "expressions/operator_codes.def"
#undef KORVO_OPERATOR
    default: return 0;
    }
}

bool isIncDecCode(uint32_t code) { return code == model::kOpFinc || code == model::kOpFdec; }

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

StatementNode nodeChild(const StatementNode& node, size_t index) { return model::IRCore::operandOf(node, index); }

uint32_t operatorCodeOf(const StatementNode& node) {
    if (!node) return 0;
    const uint32_t code = codeOfText(node->text.view());
    if (isIncDecCode(code) && nodeChild(node, 0)) return code + kPostfixStep;
    return code;
}

uint32_t classifyOperator(const StatementNode& node, StatementNode& first, StatementNode& second, int32_t& count) {
    if (!node) return 0;
    const uint32_t code = codeOfText(node->text.view());
    if (code == 0) return 0;
    // The operands are read where the node holds them rather than through
    // handles of their own: every expression node is classified.
    const StatementNode none;
    const size_t held = node->operands.size();
    const StatementNode& left = held > 0 ? node->operands[0] : none;
    const StatementNode& right = held > 1 ? node->operands[1] : none;
    switch (code) {
    case model::kOpFinc:
    case model::kOpFdec:
        count = 1;
        if (left) {
            first = left;
            return code + kPostfixStep;
        }
        first = right;
        return code;
    case model::kOpNot:
    case model::kOpCpl:
        first = right;
        count = 1;
        return code;
    case model::kOpAdd:
    case model::kOpSub:
        if (!left) {
            first = right;
            count = 1;
            return code;
        }
        break;
    default: break;
    }
    first = left;
    second = right;
    count = 2;
    return code;
}

std::string_view operatorOverloadSignature(const StatementNode& node, StatementNode& first, StatementNode& second,
                                           int32_t& count) {
    if (!node) return {};
    StatementNode left;
    StatementNode right;
    const uint32_t code = classifyOperator(node, left, right, count);
    if (code == model::kOpFinc || code == model::kOpFdec || code == model::kOpBinc || code == model::kOpBdec) {
        first = left;
    } else if (code == model::kOpAdd || code == model::kOpSub) {
        // The unary forms put their operand in the first slot already.
        first = left;
        if (count == 2) second = right;
    } else if (code != 0) {
        first = left;
        second = right;
    }
    return operatorOverloadName(node);
}

std::string_view operatorOverloadName(const StatementNode& node) {
    return node ? trimBlanks(node->text.view()) : std::string_view();
}

bool isPostfixIncDec(const StatementNode& node) {
    if (!node) return false;
    const std::string_view text = trimBlanks(node->text.view());
    return (text == "++" || text == "--") && !nodeChild(node, 1);
}

qestl::SmartPtr makeResultMove(model::IRObject* type, const model::Operand& source) {
    return codegen::makeInstructionWithTwoOperands(model::kOpMov, codegen::makeEaxOperand(type), source);
}

void cloneInstructionList(const qestl::SmartPtrVector& source, qestl::SmartPtrVector& destination) {
    destination.clear();
    for (const qestl::SmartPtr& held : source) {
        qestl::SmartPtr copy = model::adoptLive(new model::cbircode(*held.as<model::cbircode>()));
        destination.pushBack(copy);
    }
    // A label link into the source list follows the copy of its instruction.
    for (size_t i = 0; i < destination.size(); ++i) {
        model::cbircode* copy = destination[i].as<model::cbircode>();
        for (size_t k = 0; k < copy->operandCount && k < model::kMaxOperands; ++k) {
            model::Operand& operand = copy->operands[k];
            if (operand.kind != model::kObjectReference || !operand.target) continue;
            for (size_t j = 0; j < source.size(); ++j) {
                if (operand.target.get() == source[j].get()) {
                    operand.target = destination[j];
                    break;
                }
            }
        }
    }
}
