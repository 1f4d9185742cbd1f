// The class pass's schedule against a walk of every item at every pass: a
// class that waits on its base is skipped, with what its visit deferred
// counted as if it ran, until a class of that name is declared; it then
// runs in the same pass when it comes later in the walk, else in the next.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "declare/class_pass_schedule.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "source/ast_nodes.h"

namespace {

using model::NodeHandle;

// What the visits did, and when a class may declare: one without a base
// from pass baseDeclaredAt on, any other once its base is declared.
struct Script {
    std::vector<std::string> visits;
    uint32_t pass = 0;
    uint32_t baseDeclaredAt = 0;
    std::set<std::string> declared;
};
Script* gScript = nullptr;

void visit(CompileContext& context, const qestl::SmartPtr&, const NodeHandle& node) {
    const std::string name(node->text.view());
    gScript->visits.push_back(std::to_string(gScript->pass) + ":" + name);
    if (node->kind != NodeKind::Class || declare::isDeclared(node)) return;
    const NodeHandle base = model::IRClass(node).baseList();
    if (!base && gScript->pass < gScript->baseDeclaredAt) return;
    if (base && gScript->declared.count(std::string(base->text.view())) == 0) {
        // An error held back until the passes end, as for a base not found.
        context.diagnostics().deferred().noteUnsettled(1);
        declare::noteUndeclarableBase(context, base, model::IRValueList());
        return;
    }
    declare::markDeclared(node);
    gScript->declared.insert(name);
    noteClassChanged(context, name);
}

constexpr declare::ClassPassVisit kVisit = {visit, {NodeKind::Class, NodeKind::TemplateClass}};

class ClassPassSchedule : public ::testing::Test {
protected:
    void SetUp() override { gScript = &script; }
    void TearDown() override { gScript = nullptr; }

    NodeHandle addClass(const char* name, const char* base) {
        NodeHandle node = makeAstNode(NodeKind::Class, name);
        if (base != nullptr) node->operands.pushBack(makeAstNode(NodeKind::Name, base));
        objects.push_back(model::makeClass(name, qestl::SmartPtr()));
        model::bindObjectToNode(node, model::asObject(objects.back()));
        body->children.pushBack(node);
        return node;
    }
    // Runs passes until one declares nothing, as the declaration walker
    // does; the deferred count each pass left.
    std::vector<uint32_t> runPasses() {
        std::vector<uint32_t> unsettled;
        DeferredDiagnostics& deferred = context.diagnostics().deferred();
        declare::ClassPassSchedule schedule(context, body, kVisit);
        EXPECT_EQ(declare::ClassPassSchedule::innermost(context), &schedule);
        do {
            ++script.pass;
            const size_t declaredBefore = script.declared.size();
            deferred.restartCounts();
            schedule.runPass(qestl::SmartPtr());
            unsettled.push_back(deferred.unsettled());
            if (script.declared.size() == declaredBefore && script.pass > script.baseDeclaredAt) break;
        } while (script.pass < 10);
        return unsettled;
    }

    CompileContext context;
    Script script;
    NodeHandle body = makeAstNode(NodeKind::List, "body");
    std::vector<qestl::SmartPtr> objects;
};

TEST_F(ClassPassSchedule, AWaitingClassRunsAgainOnlyOnceItsBaseIsDeclared) {
    addClass("Derived", "Base");
    body->children.pushBack(makeAstNode(NodeKind::Name, "x"));
    addClass("Base", nullptr);
    script.baseDeclaredAt = 2;
    const std::vector<uint32_t> unsettled = runPasses();
    EXPECT_EQ(script.visits, (std::vector<std::string>{"1:body", "1:Derived", "1:x", "1:Base", "2:Base", "3:Derived"}));
    // Skipped at the second pass, its deferred error still counts.
    EXPECT_EQ(unsettled, (std::vector<uint32_t>{1, 1, 0, 0}));
    EXPECT_EQ(declare::ClassPassSchedule::innermost(context), nullptr);
}

TEST_F(ClassPassSchedule, AClassWokenAheadOfTheWalkRunsInThatPass) {
    addClass("Base", nullptr);
    addClass("Derived", "Base");
    addClass("Further", "Derived");
    script.baseDeclaredAt = 2;
    const std::vector<uint32_t> unsettled = runPasses();
    EXPECT_EQ(script.visits, (std::vector<std::string>{"1:body", "1:Base", "1:Derived", "1:Further", "2:Base",
                                                       "2:Derived", "2:Further"}));
    EXPECT_EQ(unsettled, (std::vector<uint32_t>{2, 0, 0}));
}

}  // namespace
