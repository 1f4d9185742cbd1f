// Compiling an expression against what surrounds it: an element assignment
// offered to the array class's "[]" operator, and deferred values (calls of
// template methods) compiled on trial against the type that receives them.
#include <string>
#include <utility>

#include "codegen/compile_context.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "model/kept_objects.h"
#include "statements/compile_walk.h"

namespace {

bool isDeferred(const model::IRResult& value) { return static_cast<bool>(value.secondObject) && value.secondNode; }

uint32_t serialOf(const model::IRResult& value) { return value.secondNode->serial; }

// Compiles one deferred node once per compilation; later trials reuse what
// that compilation gave, failed or not.
const ExpressionState::Trial* trialResultsOf(CompileContext& context, const model::IRResult& value) {
    const uint32_t serial = serialOf(value);
    ExpressionState& state = expressionState(context);
    if (auto cached = state.trials.find(serial); cached != state.trials.end()) return &cached->second;
    // Needed again while it is being tried: nothing, rather than recursion.
    if (!state.trialsUnderWay.insert(serial).second) return nullptr;
    context.lookup().clearResults();
    compileStatement(context, value.secondNode, false);
    ExpressionState::Trial entry;
    context.lookup().takeResults(entry.results);
    // The caller installed a fresh capture for this trial.
    const DiagnosticCapture* capture = context.diagnostics().activeCapture();
    entry.failed = capture != nullptr && capture->hasError != 0;
    auto [stored, fresh] = state.trials.emplace(serial, std::move(entry));
    state.trialsUnderWay.erase(serial);
    return fresh ? &stored->second : nullptr;
}

}  // namespace

IndexerCall compileOperatorCall(CompileContext& context, const StatementNode& node, model::IRValueList& rights) {
    const StatementNode element = nodeChild(node, 0);
    bool compiled;
    {
        FlagGuard flag = context.lookup().pushFlag(1);
        compiled = compileToCandidates(context, nodeChild(node, 1), rights);
    }
    if (!compiled) return IndexerCall::Failed;
    // Compound operators stay with the built-in element store.
    if (node->text.view() != "=") return IndexerCall::NotBound;
    model::IRValueList indexValues;
    model::IRValueList arrayValues;
    if (!compileToCandidates(context, nodeChild(element, 1), indexValues)) return IndexerCall::Failed;
    if (!compileToCandidates(context, nodeChild(element, 0), arrayValues)) return IndexerCall::Failed;
    IRValueListArray arguments;
    arguments.push_back(std::move(indexValues));
    arguments.push_back(rights);
    // The operator is looked up by the node's text.
    const std::string text(node->text.view());
    node->setText("[]");
    const bool bound = findOperatorOverload(context, arrayValues, arguments, node);
    node->setText(text);
    return bound ? IndexerCall::Bound : IndexerCall::NotBound;
}

void trialCompileCandidate(CompileContext& context, model::IRValueList& out, model::IRValueList& values,
                           const qestl::SmartPtr& expectedType) {
    FlagGuard flag = context.lookup().pushFlag(0);
    NameLookup::ExpectedType expected(context.lookup(), expectedType);
    // One trial per node: later duplicates go.
    for (size_t i = values.size(); i-- > 0;) {
        if (!isDeferred(values[i])) continue;
        for (size_t j = 0; j < i; ++j) {
            if (isDeferred(values[j]) && serialOf(values[j]) == serialOf(values[i])) {
                values.erase(i);
                break;
            }
        }
    }
    for (size_t i = 0; i < values.size(); ++i) {
        if (!isDeferred(values[i])) continue;
        DiagnosticCapture capture;
        capture.begin(context.diagnostics());
        const model::IRResult deferred = values[i];
        const ExpressionState::Trial* tried = trialResultsOf(context, deferred);
        if (tried != nullptr && !tried->failed && capture.hasError == 0) {
            for (const model::IRResult& result : tried->results) {
                // Each use gets instructions of its own.
                model::IRResult copy = result;
                cloneInstructionList(result.pending, copy.pending);
                out.pushBack(copy);
            }
        }
        capture.close(context.diagnostics());
    }
}

bool anyDeferredValue(const model::IRValueList& values) {
    for (const model::IRResult& value : values)
        if (isDeferred(value)) return true;
    return false;
}

void addTrialTarget(model::IRValueList& targets, const model::IRValueList& values, const qestl::SmartPtr& type) {
    if (anyDeferredValue(values))
        targets.pushBack(model::IRResult(model::makeObject("", model::kKindVariable, type, 0)));
    else model::restartSerialsAt(model::serialMark() + 1);
}

DiagnosticCapture& filterCandidatesByTrial(DiagnosticCapture& capture, CompileContext& context,
                                           model::IRValueList& targets, model::IRValueList& values) {
    // Every caller hands a capture of its own, fresh: it is made anew only
    // for a trial (nearly every call, assignment and cast has none to make).
    if (anyDeferredValue(values)) {
        capture = DiagnosticCapture();
        capture.begin(context.diagnostics());
        model::IRValueList gathered;
        for (const model::IRResult& target : targets) {
            const model::IRObject* object = target.objectPtr();
            trialCompileCandidate(context, gathered, values,
                                  object != nullptr ? object->valueType() : qestl::SmartPtr());
        }
        for (size_t i = values.size(); i-- > 0;)
            if (isDeferred(values[i])) values.erase(i);
        for (const model::IRResult& result : gathered) values.pushBack(result);
        // What failed on trial is never reported.
        capture.detach(context.diagnostics());
    }
    capture.closed = 1;
    targets.clear();
    return capture;
}
