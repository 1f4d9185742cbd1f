// The spine of the compile walk: every node passes through compileTree,
// compileStatement and dispatchStatement, which send it by kind to the
// compiler of its construct (statements/statement_kinds.def).
#include "statements/compile_walk.h"

#include <array>
#include <cstdio>

#include "classes/compile_class.h"
#include "classes/compile_method.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "diagnostics/diagnostics.h"
#include "options/compile_options.h"
#include "source/side_word_look_ahead.h"
#include "statements/walk_state.h"

namespace {

constexpr uint32_t kFirstStatementKind = NodeKind::Name;
constexpr uint32_t kLastStatementKind = NodeKind::ForTo;

enum class Around : uint8_t { None, Flow, Loop };

using Handler = uint32_t (*)(CompileContext&, const StatementNode&);

struct DispatchRow {
    Handler handler = nullptr;
    Around around = Around::None;
};

using DispatchTable = std::array<DispatchRow, kLastStatementKind + 1>;

constexpr DispatchTable makeDispatchTable() {
    DispatchTable table{};
#define KORVO_STATEMENT(kind, function, where) table[NodeKind::kind] = DispatchRow{&function, Around::where};
#include "statements/statement_kinds.def"
#undef KORVO_STATEMENT
    return table;
}

constexpr DispatchTable kDispatch = makeDispatchTable();

[[gnu::always_inline]] inline uint32_t dispatchKind(CompileContext& context, const StatementNode& node) {
    const uint32_t kind = node->kind;
    if (kind < kFirstStatementKind || kind > kLastStatementKind) return 0;
    const DispatchRow& row = kDispatch[kind];
    if (row.handler == nullptr) return 0;
    switch (row.around) {
    case Around::None:
        return row.handler(context, node);
    case Around::Flow:
        pushFlowNode(context, model::FlowNode::kSequence, 0, nullptr);
        row.handler(context, node);
        popFlowNode(context);
        return 0;
    case Around::Loop:
        pushFlowNode(context, model::FlowNode::kSequence, 0, nullptr);
        pushFlowNode(context, model::FlowNode::kAlternative, model::FlowNode::kLoopTakes, nullptr);
        row.handler(context, node);
        popFlowNode(context);
        if (context.emitter().function() != nullptr && context.emitter().function()->currentFlow != nullptr) {
            resolveBlockExits(*context.emitter().function()->currentFlow);
        }
        popFlowNode(context);
        return 0;
    }
    return 0;
}

// A node without annotations, which nearly every one is: sent on from the
// walk without a call of its own (every node of a body passes here).
[[gnu::always_inline]] inline uint32_t dispatchPlain(CompileContext& context, const StatementNode& node) {
    context.lookup().clearResults();
    return dispatchKind(context, node);
}

}  // namespace

// Before a loop's outer block closes: the value states that hold on every
// way out of the loop become the block's own.
void resolveBlockExits(model::FlowNode& block) {
    // The block joins the value states of the paths that leave it, in their
    // order, read where they lie. Every closing path counts as one fresh
    // result, which holds no state to join.
    for (model::FlowNode& child : block.children) {
        const uint32_t bits = child.exitBits | child.foldedExitBits;
        if (child.kind == model::FlowNode::kAlternativeC || child.kind == model::FlowNode::kAlternativeB || bits == 0) {
            child.result.pathKind = child.kind;
            block.result.joinObjectStates(&child.result, 1);
        }
    }
}

uint32_t compileTree(CompileContext& context, const StatementNode& given) {
    if (!given) return 0;
    // Held here: dropping a failed declaration may empty the node's lists
    // while they are walked, so children are taken one at a time by index.
    const StatementNode node = given;
    CompileDiagnostics::NestedUnit unit(context.diagnostics(), node->kind == NodeKind::DriverUnit);
    compileStatement(context, node, false);
    if (context.lookup().scopes().declarationMode() == kDeclareLocalOnce)
        context.lookup().scopes().setDeclarationMode(kDeclareLocal);
    if (context.lookup().candidates().size() == 1) {
        context.emitter().flushResult(context.lookup().resultsInPlace()[0]);
        context.lookup().clearResults();
    }
    for (size_t i = 0; i < node->children.size(); ++i) {
        sidewords::loadAhead(node->children, i);
        const StatementNode child = node->children[i];
        if (!child) continue;
        {
            // Each child is compiled as though no error had been counted.
            CompileDiagnostics::ErrorsPutAside clean(context.diagnostics());
            compileTree(context, child);
        }
        // A class compiled for good that nothing but the tree holds any
        // more (its model keeps its place alone) leaves it: a program of
        // a million classes kept each declaration whole to the end.
        if (child->kind == NodeKind::Class && child->refCount == 2 && !bodiesOutliveTheirCode(context))
            node->children[i].reset();
        // A library unit counts as nested only up to its first child.
        unit.end();
    }
    return 0;
}

uint32_t compileStatement(CompileContext& context, const StatementNode& node, bool quiet) {
    WalkState& walk = walkState(context);
    if (static_cast<int32_t>(walk.nestingDepth) >= static_cast<int32_t>(walk.nestingLimit)) {
        context.reportError(diag::NestingTooDeep, node);
        return 0;
    }
    if (!node) return 0;
    if (!quiet && context.emitter().function() != nullptr && context.emitter().function()->currentFlow != nullptr) {
        model::FlowNode& flow = *context.emitter().function()->currentFlow;
        if (flow.warned == 0 && (flow.exitBits | flow.foldedExitBits) != 0) {
            flow.warned = 1;
            context.reportWarning(diag::Unreachable, node);
        }
    }
    ++walk.nestingDepth;
    const uint32_t result = node->annotations() ? dispatchStatement(context, node) : dispatchPlain(context, node);
    --walk.nestingDepth;
    return result;
}

uint32_t dispatchStatement(CompileContext& context, const StatementNode& node) {
    if (!node) return 0;
    // Most statements carry no annotation: nothing to compile for them and
    // no warning to suppress around them.
    if (!node->annotations()) return dispatchPlain(context, node);
    compileAnnotations(context, node);
    CompileDiagnostics::SuppressWarnings suppress(context.diagnostics(), node->hasAnnotation("SuppressWarnings"));
    context.lookup().clearResults();
    return dispatchKind(context, node);
}

// The start of a source unit or a library unit (SourceUnit and DriverUnit nodes).
uint32_t compileSourceUnit(CompileContext& context, const StatementNode& node) {
    const bool fromLibrary = node->includedUnit != 0;
    bool announce = node->kind == NodeKind::SourceUnit ? !fromLibrary : false;
    if (node->kind == NodeKind::DriverUnit && fromLibrary && context.options() != nullptr) {
        announce = node->unitLevel < context.options()->libraries.size();
    }
    if (announce) {
        const std::string text = formatDiagnostic(diag::CompilingUnit, {node->text.c_str()});
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
    }
    return 0;
}

// The parenthesised list, compiled as its first item (a List node).
uint32_t compileListStatement(CompileContext& context, const StatementNode& node) {
    if (node->operands.empty()) return 0;
    compileStatement(context, node->operands[0], false);
    return 0;
}

// The class, interface, package or enum declaration (a Class node).
uint32_t compileClassStatement(CompileContext& context, const StatementNode& node) {
    // The package, interface and enum constructs are Class nodes told apart
    // by their flags.
    uint32_t construct = kConstructClass;
    if ((node->flags & 0x10000000u) != 0) construct = kConstructPackage;
    else if ((node->flags & 0x20000000u) != 0) construct = kConstructInterface;
    else if ((node->flags & 0x40000000u) != 0) construct = kConstructEnum;
    qestl::SmartPtr slot;
    compileClassDeclaration(context, nullptr, node, slot, construct, true);
    return 0;
}
