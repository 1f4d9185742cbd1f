// The diagnostics' scoped guards: each level gets its own error count back,
// and a suppression or a nested unit ends with its scope.
#include <gtest/gtest.h>

#include "codegen/compile_context.h"
#include "codegen/compile_diagnostics.h"
#include "codegen/node_set.h"
#include "codegen/reported_once.h"
#include "source/source_project.h"

namespace {

TEST(CompileDiagnostics, EachLevelGetsBackItsOwnErrorCount) {
    SourceProject project;
    CompileDiagnostics diagnostics(project);
    diagnostics.countError();
    {
        CompileDiagnostics::ErrorsPutAside outer(diagnostics);
        EXPECT_EQ(diagnostics.errorCount(), 0u);
        EXPECT_EQ(diagnostics.levelsPutAside(), 1u);
        {
            // A clean level puts nothing aside and gives nothing back.
            CompileDiagnostics::ErrorsPutAside clean(diagnostics);
            EXPECT_EQ(diagnostics.levelsPutAside(), 1u);
        }
        EXPECT_FALSE(diagnostics.hasErrors());
        diagnostics.countError();
        {
            CompileDiagnostics::ErrorsPutAside inner(diagnostics);
            EXPECT_EQ(diagnostics.levelsPutAside(), 2u);
            EXPECT_FALSE(diagnostics.hasErrors());
        }
        EXPECT_EQ(diagnostics.errorCount(), 1u);
        EXPECT_EQ(diagnostics.levelsPutAside(), 1u);
    }
    EXPECT_EQ(diagnostics.errorCount(), 1u);
    EXPECT_EQ(diagnostics.levelsPutAside(), 0u);
}

// A node and a text once, and a node once in a set of nodes, whatever
// order the nodes come in and however often the tables grow: a node takes
// other texts too.
TEST(ReportedOnce, EachNodeAndTextOnce) {
    static char nodes[20000];
    codegen::ReportedOnce reported;
    for (size_t i = 0; i < sizeof nodes; i += 2) EXPECT_TRUE(reported.add(&nodes[sizeof nodes - 1 - i], "a"));
    for (size_t i = 0; i < sizeof nodes; i += 2) {
        EXPECT_FALSE(reported.add(&nodes[sizeof nodes - 1 - i], "a"));
        EXPECT_TRUE(reported.add(&nodes[sizeof nodes - 1 - i], "b"));
    }
    EXPECT_TRUE(reported.add(&nodes[0], "a"));
    EXPECT_TRUE(reported.add(nullptr, ""));
    EXPECT_FALSE(reported.add(nullptr, ""));
    reported.clear();
    EXPECT_TRUE(reported.add(&nodes[1], "b"));
    codegen::NodeSet set;
    for (size_t i = 0; i < sizeof nodes; i += 3) EXPECT_TRUE(set.insert(&nodes[sizeof nodes - 1 - i]));
    for (size_t i = 0; i < sizeof nodes; ++i) EXPECT_EQ(set.contains(&nodes[sizeof nodes - 1 - i]), i % 3 == 0);
    EXPECT_FALSE(set.insert(&nodes[sizeof nodes - 1]));
    EXPECT_FALSE(set.contains(nullptr));
    EXPECT_TRUE(set.insert(nullptr));
    EXPECT_TRUE(set.contains(nullptr));
}

TEST(CompileDiagnostics, SuppressionAndNestedUnitsEndWithTheirScope) {
    SourceProject project;
    CompileDiagnostics diagnostics(project);
    DiagnosticCapture capture;
    capture.begin(diagnostics);
    {
        CompileDiagnostics::SuppressWarnings outer(diagnostics);
        CompileDiagnostics::SuppressWarnings inactive(diagnostics, false);
        diagnostics.deliverWarning(200, "hidden", {});
    }
    EXPECT_FALSE(diagnostics.warningsSuppressed());
    {
        CompileDiagnostics::NestedUnit unit(diagnostics);
        diagnostics.deliverWarning(200, "hidden", {});
        unit.end();
        diagnostics.deliverWarning(200, "shown", {});
    }
    capture.close(diagnostics);
    EXPECT_EQ(capture.warningText.view().find("hidden"), std::string_view::npos);
    EXPECT_NE(capture.warningText.view().find("shown"), std::string_view::npos);
    EXPECT_EQ(diagnostics.activeCapture(), nullptr);
}

TEST(DeferredDiagnostics, ANestedScopeCountsFromZeroAndAddsToTheOuterOne) {
    DeferredDiagnostics deferred;
    deferred.noteDeclared();
    deferred.add("unsettled", _KNode<qeAbstractNode>());
    {
        DeferredDiagnostics::NestedScope nested(deferred);
        EXPECT_EQ(deferred.declared(), 0u);
        EXPECT_EQ(deferred.unsettled(), 0u);
        deferred.noteDeclared();
        deferred.noteUnsettled(2);
    }
    EXPECT_EQ(deferred.declared(), 2u);
    EXPECT_EQ(deferred.unsettled(), 3u);
    deferred.clear();
    EXPECT_EQ(deferred.declared() + deferred.unsettled(), 0u);
}

struct CountingState final : PassState {
    static constexpr PassSlot kSlot = PassSlot::Walk;
    int uses = 0;
};

TEST(PassStates, AStateLastsTheCompilationAndGoesWithTheReset) {
    CompileContext context;
    ++context.passState<CountingState>().uses;
    EXPECT_EQ(++context.passState<CountingState>().uses, 2);
    context.reset();
    EXPECT_EQ(context.passState<CountingState>().uses, 0);
}

}  // namespace
