// The parse listener's rule dispatch: runs the node builder of a new match
// and hands include and require directives back to the source processor.
#include "source/list_storage.h"
#include "source/rule_table.h"
#include "source/source_processor.h"
#include "syntax/lex_syntax.h"

namespace {

class ProcessorHost final : public BuildHost {
public:
    ProcessorHost(qeSourceProcessor& processor, qeLexSyntax& engine) : processor_(processor), engine_(engine) {}

    uint32_t fileIndex() const override { return processor_.fileIndex(); }
    // A builder's error fails the parse: no later match builds a node.
    // A speculative parse says nothing: the exact engine's run reports it.
    void reportBuildError(const char* message, uint32_t line, uint32_t column) override {
        if (!engine_.speculative()) processor_.reportError(message, line, column);
        engine_.setErrorFlag();
    }
    const qestl::qestringA* htmlFragment(size_t index) const override { return processor_.pageFragment(index); }

private:
    qeSourceProcessor& processor_;
    qeLexSyntax& engine_;
};

}  // namespace

// The listener's one entry into the builders, here with them so that the
// dispatch is one call deep: it runs for every match the engine tells of.
_KNode<qeAbstractNode>* qeSourceProcessor::onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start,
                                                         int count, uint32_t ruleId) {
    // `out` comes empty. After the first error of a parse no node is built any more.
    if (engine.errorFlag() || start < 0 || count < 0 || start + count > qeLexSyntax::kWindowSize) return out;
    ProcessorHost host(*this, engine);
    uint8_t marks = 0;
    nodelist::noteRule(ruleId);
    RuleAction action = buildRuleMatch(host, *out, engine.slots(start), count, ruleId, marks);
    if (action != RuleAction::Built) *out = includeOnce(engine, start, count, action == RuleAction::Require);
    else engine.markNode(marks);
    return out;
}
