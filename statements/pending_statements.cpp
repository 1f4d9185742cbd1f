// Stand-ins for the statement forms that are still to come: each compiles
// nothing of its own. The walk still reaches a construct's children, so
// the statements nested in them are compiled. Replace an entry here when
// its compiler lands.
#include "codegen/compile_context.h"
#include "codegen/candidate_pickers.h"
#include "codegen/suggestions.h"
#include "foundation/diagnostics.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

uint32_t compileIfStatement(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileForLoop(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileWhileLoop(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileDoWhileLoop(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileForEachLoop(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileSwitchStatement(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileVariableDeclaration(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileConstantDeclaration(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileTypedDeclaration(CompileContext&, const StatementNode&) { return 0; }

// Until the declaration pass lands: type references and native imports.
uint32_t compileTypeReferenceStatement(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileNativeImportStatement(CompileContext&, const StatementNode&) { return 0; }
uint32_t compileDynamicImportStatement(CompileContext&, const StatementNode&) { return 0; }

// This branch's own, still to be written.
uint32_t compileNativeFunctionStatement(CompileContext&, const StatementNode&) { return 0; }

// Until the statement compiler's conditions land: no operator overloads,
// no short-circuit operators, and conditions that are comparisons only.
uint32_t compileLogicalNode(CompileContext&, const StatementNode&) { return 0; }

uint32_t compileConditionJump(CompileContext& context, const StatementNode& node, uint32_t& jumpOpcode, bool invert) {
    if (operatorCodeOf(node) != model::kOpCmp) return 1;
    context.statementHints |= 1;
    compileStatement(context, node, false);
    context.statementHints &= ~1u;
    if (context.errors != 0) return 1;
    static constexpr uint32_t kValueKinds[] = {model::kKindVariable, model::kKindFunction, model::kKindOperator};
    model::IRResult* chosen = nullptr;
    if (codegen::pickBestOverloadForArgs(context.candidates, kValueKinds, std::size(kValueKinds), chosen) != 0) {
        context.reportError(diag::BadExpression.text, node);
        return 1;
    }
    static constexpr struct {
        std::string_view text;
        uint32_t holds, fails;
    } kJumps[] = {{"<", model::kOpJb, model::kOpJnb},  {"<=", model::kOpJng, model::kOpJg},
                  {">", model::kOpJg, model::kOpJng},  {">=", model::kOpJnb, model::kOpJb},
                  {"==", model::kOpJe, model::kOpJne}, {"!=", model::kOpJne, model::kOpJe}};
    jumpOpcode = 0;
    for (const auto& row : kJumps) {
        if (row.text == node->text.view()) jumpOpcode = invert ? row.fails : row.holds;
    }
    if (jumpOpcode == 0) return 1;
    const model::IRResult result = *chosen;
    context.clearResults();
    context.addResult(result);
    return 0;
}
