// Stand-in until the node builders exist. It builds only what directives
// need to be followed: the string list of include and require (a list node
// whose operands are the literals as written), and the directives themselves.
#include "source/ast_nodes.h"
#include "source/rule_dispatch.h"
#include "source/source_processor.h"

namespace {

constexpr uint32_t kStringListRule = 182;
constexpr uint32_t kRequireRule = 183;
constexpr uint32_t kIncludeRule = 184;

void buildStringList(qeSourceProcessor& processor, qeLexSyntax& engine, int start, int count,
                     _KNode<qeAbstractNode>& out) {
    TokenRecord* first = engine.slot(start);
    int position = 0;
    if (first->matches.test(kStringListRule) && first->node) {
        out = first->node;
        position = 2;
    } else {
        out = _KNode<qeAbstractNode>(
            newAstNode(qeAbstractNode(processor.fileIndex(), engine, start, count, NodeKind::ArrayInitializer)));
    }
    TokenRecord* literal = engine.slot(start + position);
    if (literal == nullptr || literal->input == nullptr) return;
    _KNode<qeAbstractNode> element(
        newAstNode(qeAbstractNode(processor.fileIndex(), engine, start + position, 1, NodeKind::StringLiteral)));
    element->text.assign(literal->input->text + literal->startOffset, literal->length);
    out->operands.pushBack(element);
}

}  // namespace

void dispatchRuleMatch(qeSourceProcessor& processor, qeLexSyntax& engine, int start, int count, uint32_t ruleId,
                       _KNode<qeAbstractNode>& out) {
    if (ruleId == kStringListRule) buildStringList(processor, engine, start, count, out);
    if (ruleId == kRequireRule || ruleId == kIncludeRule) {
        out = processor.processInclude(engine, start, count, ruleId == kRequireRule);
    }
}
