// The compile walk over hand-made trees: the nesting limit, the
// unreachable-code warning, warning suppression, the jump statements and the
// choice of one value among candidates.
#include <gtest/gtest.h>

#include <string>

#include "codegen/compile_context.h"
#include "expressions/compile_expression.h"
#include "model/opcodes.h"
#include "source/ast_nodes.h"
#include "statements/compile_walk.h"
#include "statements/walk_state.h"

namespace {

using model::NodeHandle;

size_t occurrences(const qestl::qestringA& text, const char* needle) {
    const std::string haystack(text.view());
    size_t count = 0;
    for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++count;
    return count;
}

// A context with a method being compiled: a return label, a flow tree, and
// the diagnostics held in a capture for the test to read.
struct MethodFixture {
    MethodFixture() {
        context.emitter().setFunction(&state);
        context.emitter().enterJumpScope(jumps, kJumpReturn);
        capture.begin(context.diagnostics());
    }
    ~MethodFixture() {
        capture.close(context.diagnostics());
        context.emitter().setFunction(nullptr);
        context.lookup().clearResults();
    }
    size_t countOpcode(uint32_t opcode) {
        size_t count = 0;
        for (const qestl::SmartPtr& instruction : context.emitter().current())
            if (instruction.as<model::cbircode>()->opcode == opcode) ++count;
        return count;
    }

    CompileContext context;
    FunctionCompileState state;
    JumpScope jumps;
    DiagnosticCapture capture;
};

TEST(CompileWalk, NestingPastTheLimitIsReportedOnceAndSkipped) {
    MethodFixture m;
    NodeHandle outer = makeAstNode(NodeKind::List);
    NodeHandle inner = outer;
    for (int i = 0; i < 300; ++i) {
        NodeHandle next = makeAstNode(NodeKind::List);
        inner->operands.pushBack(next);
        inner = next;
    }
    compileStatement(m.context, outer, false);
    EXPECT_EQ(occurrences(m.capture.errorText, "语法嵌套过大(超过255层)"), 1u);
    EXPECT_EQ(walkState(m.context).nestingDepth, 0u);
}

TEST(CompileWalk, UnreachableCodeIsWarnedOncePerBlock) {
    MethodFixture m;
    NodeHandle ret = makeAstNode(NodeKind::Return);
    ret->children.pushBack(makeAstNode(NodeKind::IntegerLiteral, "1"));
    ret->children.pushBack(makeAstNode(NodeKind::IntegerLiteral, "2"));
    compileTree(m.context, ret);
    EXPECT_EQ(occurrences(m.capture.warningText, "以下代码将无法访问"), 1u);
    EXPECT_EQ(m.countOpcode(model::kOpJmp), 1u);
    EXPECT_EQ(m.state.flowRoot.terminated, 1);
}

TEST(CompileWalk, SuppressWarningsCoversTheNodeOnlyAndCountsOnce) {
    MethodFixture m;
    m.state.flowRoot.exitBits = 1;  // every path has left already
    NodeHandle list = makeAstNode(NodeKind::List);
    list->operands.pushBack(makeAstNode(NodeKind::Break));
    list->setAnnotations(makeAstNode(NodeKind::AnnotationList));
    list->annotations()->operands.pushBack(makeAstNode(NodeKind::Annotation, "SuppressWarnings"));
    list->annotations()->operands.pushBack(makeAstNode(NodeKind::Annotation, "SuppressWarnings"));
    dispatchStatement(m.context, list);
    EXPECT_FALSE(m.context.diagnostics().warningsSuppressed());
    EXPECT_TRUE(m.capture.warningText.empty());
    // Past the annotated node the warning comes again.
    m.state.flowRoot.warned = 0;
    compileStatement(m.context, makeAstNode(NodeKind::IntegerLiteral, "3"), false);
    EXPECT_EQ(occurrences(m.capture.warningText, "以下代码将无法访问"), 1u);
}

TEST(JumpStatements, BreakAndContinueNeedTheirLabelAndAreRefusedInFinally) {
    MethodFixture m;
    compileStatement(m.context, makeAstNode(NodeKind::Break), true);
    compileStatement(m.context, makeAstNode(NodeKind::Continue), true);
    EXPECT_EQ(occurrences(m.capture.errorText, "break语句只能在循环或者开关中使用"), 1u);
    EXPECT_EQ(occurrences(m.capture.errorText, "continue语句只能在循环中使用:"), 1u);
    EXPECT_EQ(m.state.flowRoot.exitBits, 0u);
    EXPECT_EQ(m.countOpcode(model::kOpJmp), 0u);

    JumpScope loop;
    m.context.emitter().enterJumpScope(loop, kJumpBreak);
    compileStatement(m.context, makeAstNode(NodeKind::Break), true);
    ASSERT_EQ(m.countOpcode(model::kOpJmp), 1u);
    EXPECT_EQ(m.context.emitter().lastInstruction().as<model::cbircode>()->operands[0].link(),
              &loop.target(kJumpBreak));
    EXPECT_EQ(m.state.flowRoot.exitBits, 1u);

    m.state.flags |= kFunctionNoBreak;
    compileStatement(m.context, makeAstNode(NodeKind::Break), true);
    EXPECT_EQ(occurrences(m.capture.errorText, "当前域中无法使用此语法."), 1u);
    EXPECT_EQ(m.countOpcode(model::kOpJmp), 1u);
}

TEST(JumpStatements, ReturnWithoutAReturnLabelIsRefused) {
    MethodFixture m;
    m.jumps.restore(kJumpReturn);
    compileStatement(m.context, makeAstNode(NodeKind::Return), true);
    EXPECT_EQ(occurrences(m.capture.errorText, "当前域中无法使用此语法."), 1u);
    EXPECT_TRUE(m.context.emitter().current().empty());
}

TEST(JumpStatements, ReturnInFinallyWarnsAndStillJumps) {
    MethodFixture m;
    m.state.flags |= kFunctionInFinally;
    compileStatement(m.context, makeAstNode(NodeKind::Return), true);
    EXPECT_EQ(occurrences(m.capture.warningText, "finally 语句中使用 return 可能产生不可预料的后果."), 1u);
    EXPECT_EQ(m.countOpcode(model::kOpJmp), 1u);
}

}  // namespace
