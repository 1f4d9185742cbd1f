// The compile context's mechanics that no probe command reaches: binding,
// jump scopes, code-list guards, local names, version numbers, case labels,
// name steps and translation tables.
#include <gtest/gtest.h>

#include <cstring>

#include "codegen/candidate_pickers.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "codegen/resource_table.h"
#include "foundation/json.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/opcodes.h"
#include "options/compile_options.h"
#include "source/ast_nodes.h"

namespace {

using model::Operand;
using qestl::SmartPtr;

SmartPtr jumpTo(Operand& label) {
    Operand pending(0, model::kPendingLabel, 0);
    pending.linkTo(&label);
    return codegen::makeInstructionWithOperand(model::kOpJmp, pending);
}

TEST(CodeLists, BindingResolvesOnlyLabelsWithADestination) {
    CompileContext context;
    Operand bound, unbound;
    context.emitter().emit(jumpTo(bound), model::NodeHandle());
    context.emitter().emit(jumpTo(unbound), model::NodeHandle());
    SmartPtr end = context.emitter().emit(codegen::makeInstruction(model::kOpExit, 0), model::NodeHandle());
    bound.target = end;
    bound.displacement = 4;
    context.bindLabels(0, 3);
    const auto* first = context.emitter().codeAt(0).as<model::cbircode>();
    EXPECT_EQ(first->operands[0].kind, model::kObjectReference);
    EXPECT_EQ(first->operands[0].target, end);
    EXPECT_EQ(first->operands[0].displacement, 4);
    EXPECT_EQ(first->operands[0].link(), nullptr);
    EXPECT_EQ(context.emitter().codeAt(1).as<model::cbircode>()->operands[0].kind, model::kPendingLabel);
    EXPECT_FALSE(context.emitter().codeAt(3));
    // A range that is empty or reversed binds nothing.
    context.bindLabels(2, 1);
    EXPECT_EQ(context.emitter().codeAt(1).as<model::cbircode>()->operands[0].kind, model::kPendingLabel);
}

TEST(CodeLists, BindingAfterAnErrorDiscardsTheCurrentList) {
    CompileContext context;
    Operand label;
    context.emitter().emit(jumpTo(label), model::NodeHandle());
    context.reportError(diag::InternalError, model::NodeHandle());
    ASSERT_EQ(context.errorCount(), 1u);
    context.bindLabels(0, 1);
    EXPECT_TRUE(context.emitter().current().empty());
    EXPECT_FALSE(context.emitter().lastInstruction());
}

TEST(CodeLists, ACapturedErrorDoesNotCountOrDiscard) {
    CompileContext context;
    DiagnosticCapture capture;
    capture.begin(context.diagnostics());
    context.emitter().emit(codegen::makeInstruction(model::kOpExit, 0), model::NodeHandle());
    context.reportError(diag::InternalError, model::NodeHandle());
    EXPECT_TRUE(context.diagnostics().hasErrors());
    EXPECT_EQ(context.errorCount(), 0u);
    context.bindLabels(0, 1);
    EXPECT_EQ(context.emitter().current().size(), 1u);
    capture.close(context.diagnostics());
    EXPECT_EQ(context.diagnostics().activeCapture(), nullptr);
    EXPECT_FALSE(context.diagnostics().hasErrors());
}

TEST(CodeLists, EmitCopiesTheTemplateAndEmitCopyOfKeepsIt) {
    CompileContext context;
    SmartPtr templ = codegen::makeInstruction(model::kOpExit, 0);
    SmartPtr copy = context.emitter().emitCopyOf(*templ.as<model::cbircode>(), model::NodeHandle());
    EXPECT_FALSE(copy == templ);
    EXPECT_EQ(templ.as<model::cbircode>()->opcode, model::kOpExit);
    SmartPtr other = context.emitToMainList(*templ.as<model::cbircode>(), model::NodeHandle());
    EXPECT_EQ(context.emitter().list(kMainList).size(), 2u);
    EXPECT_EQ(context.emitter().lastInstruction(), other);
}

TEST(CodeLists, GuardRestoresTheListItReplaced) {
    CompileContext context;
    {
        CodeListGuard guard;
        context.emitter().switchCodeList(true, &guard);
        EXPECT_EQ(&context.emitter().current(), &context.emitter().list(kMemberCodeList));
        context.emitter().emit(codegen::makeInstruction(model::kOpExit, 0), model::NodeHandle());
    }
    EXPECT_EQ(&context.emitter().current(), &context.emitter().list(kMainList));
    EXPECT_EQ(context.emitter().list(kMemberCodeList).size(), 1u);

    CodeList replacement;
    {
        CodeListGuard guard;
        context.emitter().switchCodeList(false, &guard);
        guard.replaceWith(&replacement, 0);
        guard.restore();
        guard.restore();  // inactive now
    }
    EXPECT_EQ(&context.emitter().list(kMainList), &replacement);
    EXPECT_EQ(&context.emitter().current(), &replacement);
}

TEST(JumpScopes, RestoreGivesBackExactlyWhatTheScopeInstalled) {
    CompileContext context;
    JumpScope loop;
    context.emitter().enterJumpScope(loop, kJumpAll);
    Operand* loopBreak = context.emitter().jumpTarget(kJumpBreak);
    Operand* loopContinue = context.emitter().jumpTarget(kJumpContinue);
    {
        JumpScope sw;
        context.emitter().enterJumpScope(sw, kJumpBreak);
        EXPECT_EQ(context.emitter().jumpTarget(kJumpBreak), &sw.target(kJumpBreak));
        EXPECT_EQ(context.emitter().jumpTarget(kJumpContinue), loopContinue);
        EXPECT_EQ(sw.savedList(kJumpBreak), loopBreak);
        EXPECT_EQ(sw.savedList(kJumpContinue), nullptr);
        sw.restore(kJumpAll);
        EXPECT_EQ(context.emitter().jumpTarget(kJumpBreak), loopBreak);
        EXPECT_EQ(sw.mask(), 0u);
    }
    EXPECT_EQ(context.emitter().jumpTarget(kJumpBreak), loopBreak);
    loop.restore(kJumpBreak);
    EXPECT_EQ(context.emitter().jumpTarget(kJumpBreak), nullptr);
    EXPECT_EQ(context.emitter().jumpTarget(kJumpContinue), loopContinue);
    EXPECT_EQ(loop.mask(), kJumpReturn | kJumpContinue);
    EXPECT_EQ(&loop.target(3), &loop.target(0));  // any other selector: the fourth label
    EXPECT_NE(&loop.target(3), &loop.target(kJumpReturn));
}

TEST(JumpScopes, InheritingInstallsOnlyWhatIsActiveAndTheDestructorRestores) {
    CompileContext context;
    JumpScope body;
    context.emitter().enterJumpScope(body, kJumpReturn);
    {
        JumpScope guarded;
        context.emitter().inheritJumpScope(guarded);
        EXPECT_EQ(guarded.mask(), static_cast<uint32_t>(kJumpReturn));
        EXPECT_EQ(context.emitter().jumpTarget(kJumpReturn), &guarded.target(kJumpReturn));
        EXPECT_EQ(context.emitter().jumpTarget(kJumpBreak), nullptr);
    }
    EXPECT_EQ(context.emitter().jumpTarget(kJumpReturn), &body.target(kJumpReturn));
}

TEST(Locals, PopLocalsDropsNamesAndKeepsSlots) {
    CompileContext context;
    context.setCompileMode(kDeclareLocal);
    auto declare = [&](const char* name) {
        return context.lookup().scopes().declareObject(
            name, model::makeObject(name, model::kKindVariable, SmartPtr(), 0), false);
    };
    declare("a");
    const uint64_t mark = context.lookup().scopes().frame->indexEntryCount();
    declare("b");
    declare("c");
    context.emitter().popLocals(mark);
    EXPECT_EQ(context.lookup().scopes().frame->indexEntryCount(), mark);
    EXPECT_NE(context.lookup().scopes().frame->indexesOf("a"), nullptr);
    EXPECT_EQ(context.lookup().scopes().frame->indexesOf("b"), nullptr);
    EXPECT_EQ(context.lookup().scopes().frame->indexesOf("c"), nullptr);
    EXPECT_EQ(context.lookup().scopes().frame->members().size(), 3u);
    // A new local takes a new slot; the dropped ones are not reused.
    const Operand d = declare("d");
    EXPECT_EQ(context.lookup().scopes().frame->members().size(), 4u);
    EXPECT_EQ(context.lookup().scopes().frame->indexesOf("d")->front(), 3u);
    (void)d;
    context.emitter().popLocals(10);  // a mark above the count drops nothing
    EXPECT_NE(context.lookup().scopes().frame->indexesOf("d"), nullptr);
}

TEST(Locals, FunctionStaticsGoToTheFirstHeapAndAreRenamedWhenReplaced) {
    CompileContext context;
    context.setCompileMode(kDeclareLocalOnce);
    std::vector<model::Container::NameEntry> statics;
    context.lookup().scopes().setFunctionStatics(&statics);
    SmartPtr counter = model::makeObject("counter", model::kKindVariable, SmartPtr(), 0);
    context.lookup().scopes().declareObject("counter", counter, true);
    ASSERT_EQ(statics.size(), 1u);
    EXPECT_TRUE(context.isListedSlotObject(model::asObject(counter)));
    EXPECT_NE(context.lookup().scopes().heaps[0]->indexesOf("counter"), nullptr);
    EXPECT_EQ(context.lookup().scopes().frame->members().size(), 0u);
    context.lookup().scopes().setFunctionStatics(nullptr);
    EXPECT_EQ(context.lookup().scopes().heaps[0]->indexesOf("counter"), nullptr);
    EXPECT_NE(context.lookup().scopes().heaps[0]->indexesOf("$_func_static_var_counter"), nullptr);
    EXPECT_FALSE(context.isListedSlotObject(model::asObject(counter)));
}

TEST(Versions, ParseVersionNumber) {
    EXPECT_EQ(parseVersionNumber(""), 0);
    EXPECT_EQ(parseVersionNumber("1.2"), (int64_t{1} << 16) | 2);
    EXPECT_EQ(parseVersionNumber("1.2.3.4"), (int64_t{1} << 48) | (int64_t{2} << 32) | (int64_t{3} << 16) | 4);
    EXPECT_EQ(parseVersionNumber("010"), 8);
    EXPECT_EQ(parseVersionNumber("09"), 9);  // 8 and 9 still read in base 8
    EXPECT_EQ(parseVersionNumber("1.2.3.4.5"), parseVersionNumber("1.2.3.4"));
    EXPECT_EQ(parseVersionNumber("1.-1"), -1);  // each part sign-extended before the OR
    EXPECT_EQ(parseVersionNumber("+2.x"), int64_t{2} << 16);
}

TEST(Switches, LabelOperandAtTheListEndPointsPastTheLastInstruction) {
    CodeList list;
    EXPECT_EQ(labelOperandAt(0, list).kind, 0u);  // empty list: nothing to refer to
    list.pushBack(codegen::makeInstruction(model::kOpExit, 0));
    list.pushBack(codegen::makeInstructionWithOperand(model::kOpJmp, Operand(0, model::kImmInt, 4)));
    Operand at = labelOperandAt(1, list);
    EXPECT_EQ(at.kind, model::kObjectReference);
    EXPECT_EQ(at.target, list[1]);
    EXPECT_EQ(at.displacement, 0);
    at = labelOperandAt(2, list);
    EXPECT_EQ(at.target, list[1]);
    EXPECT_EQ(at.displacement, 16);
    EXPECT_EQ(labelOperandAt(3, list).kind, 0u);
    CaseValueSet values;
    EXPECT_TRUE(values.insert(-5));
    EXPECT_FALSE(values.insert(-5));
    EXPECT_TRUE(values.contains(-5));
    EXPECT_FALSE(values.contains(5));
    // Falling values after rising ones: every value stays known.
    for (int64_t v : {1, 7, 3, 100, -2, 64}) EXPECT_TRUE(values.insert(v));
    EXPECT_FALSE(values.rising());
    for (int64_t v : {-5, 1, 7, 3, 100, -2, 64}) EXPECT_FALSE(values.insert(v));
    EXPECT_FALSE(values.contains(2));
    for (int64_t v = 300; v > 200; --v) EXPECT_TRUE(values.insert(v));  // the table grows
    EXPECT_TRUE(values.contains(201) && values.contains(64) && !values.contains(200));
    // Values that only fall: a repeat among them is found, and the order
    // they came in is not a rising one.
    CaseValueSet falling;
    for (int64_t v : {90, 40, 10, -3}) EXPECT_TRUE(falling.insert(v));
    EXPECT_FALSE(falling.rising());
    EXPECT_FALSE(falling.insert(40));
    EXPECT_TRUE(falling.insert(50));
    EXPECT_FALSE(falling.insert(10));
    EXPECT_TRUE(falling.contains(-3) && falling.contains(50) && !falling.contains(0));
}

TEST(Objects, FlagOperations) {
    SmartPtr made = model::makeObject("x", model::kKindVariable, SmartPtr(), 0);
    model::IRObject* x = model::asObject(made);
    x->setEnum(true);
    EXPECT_TRUE(x->isEnum());
    EXPECT_TRUE(x->hasModifiers(model::kModEnum));
    EXPECT_FALSE(x->hasModifiers(model::kModEnum | model::kModPackage));
    x->setEnum(false);
    EXPECT_FALSE(x->isEnum());
    x->setDeclared(false);
    EXPECT_NE(x->flagsA & model::kFlagDeclarationPending, 0);
    x->setDeclared(true);
    EXPECT_EQ(x->flagsA & model::kFlagDeclarationPending, 0);
    model::NodeHandle node = makeAstNode(NodeKind::VariableDeclaration, "x");
    node->flags = NodeFlag::Public | NodeFlag::Static;
    x->setDeclarationNode(node);
    EXPECT_EQ(x->declarationNode.get(), node.get());
    EXPECT_EQ(x->modifiers & 0x7F, static_cast<uint32_t>(NodeFlag::Public));
}

TEST(NodeViews, OperandsNotChildrenAndAbsentPartsEmpty) {
    model::NodeHandle tryNode = makeAstNode(NodeKind::Try);
    model::NodeHandle block = makeAstNode(NodeKind::Block);
    model::NodeHandle clauses = makeAstNode(NodeKind::Catch);
    clauses->operands.pushBack(makeAstNode(NodeKind::CatchClause, "first"));
    tryNode->children.pushBack(makeAstNode(NodeKind::Block));  // a child is never an operand
    tryNode->operands.pushBack(block);
    tryNode->operands.pushBack(clauses);
    EXPECT_EQ(tryBodyNode(tryNode).get(), block.get());
    EXPECT_EQ(catchClauseCount(tryNode), 1u);
    EXPECT_EQ(catchClauseNode(tryNode, 0)->text.view(), "first");
    EXPECT_FALSE(catchClauseNode(tryNode, 1));
    EXPECT_FALSE(finallyNode(tryNode));
    EXPECT_EQ(catchClauseCount(model::NodeHandle()), 0u);

    model::NodeHandle method = makeAstNode(NodeKind::Method, "f");
    model::NodeHandle parameters = makeAstNode(NodeKind::List);
    parameters->operands.pushBack(makeAstNode(NodeKind::List, "a"));
    method->operands.pushBack(model::NodeHandle());  // no template parameters: an empty handle in place
    method->operands.pushBack(makeAstNode(NodeKind::Name, "int"));
    method->operands.pushBack(parameters);
    EXPECT_FALSE(model::IRFunction(method).isTemplate());
    EXPECT_EQ(parameterNodeAt(method, 0)->text.view(), "a");
    EXPECT_FALSE(parameterNodeAt(method, 1));

    model::NodeHandle templ = makeAstNode(NodeKind::TemplateClass, "T");
    model::NodeHandle names = makeAstNode(NodeKind::List);
    names->operands.pushBack(makeAstNode(NodeKind::Name, "K"));
    templ->operands.pushBack(names);
    EXPECT_EQ(model::IRClass(templ).templateParameterCount(), 1u);
    EXPECT_EQ(model::IRClass(templ).templateParameter(0)->text.view(), "K");
    templ->kind = NodeKind::Class;
    EXPECT_EQ(model::IRClass(templ).templateParameterCount(), 0u);
    EXPECT_FALSE(model::IRClass(templ).templateParameter(0));
}

TEST(Switches, IsNumberText) {
    auto number = [](const char* text, bool hex) { return isNumberText(text, text + std::strlen(text), hex); };
    EXPECT_TRUE(number("", false));
    EXPECT_TRUE(number("0x", true));
    EXPECT_TRUE(number("0x", false));
    EXPECT_TRUE(number("x1F", true));
    EXPECT_TRUE(number("-12.5", false));
    EXPECT_TRUE(number("12h", false));
    EXPECT_FALSE(number("1h2", false));
    EXPECT_FALSE(number("0x1G", true));
    EXPECT_FALSE(number("+-1", false));
}

TEST(NameSteps, EquallyNearClassesResolveToNothing) {
    CompileContext context;
    SmartPtr one = model::makeObject("B", model::kKindClass, SmartPtr(), 0);
    SmartPtr two = model::makeObject("B", model::kKindClass, SmartPtr(), 0);
    context.lookup().scopes().heaps[0]->findOrCreate("B", one);
    context.lookup().scopes().heaps[1]->findOrCreate("B", two);
    EXPECT_FALSE(context.resolveNameStep(SmartPtr(), "B"));
    EXPECT_TRUE(context.lookup().candidates().empty());  // the step takes the list out

    SmartPtr only = model::makeObject("C", model::kKindClass, SmartPtr(), 0);
    context.lookup().scopes().heaps[2]->findOrCreate("C", only);
    EXPECT_EQ(context.resolveDottedName("C"), only);
    EXPECT_EQ(context.resolveDottedName("missing.C"), only);
}

TEST(NameLookup, KeywordConstantsAndEveryScopeInOrder) {
    CompileContext context;
    SmartPtr yes = model::makeObject("true", model::kKindVariable, SmartPtr(), 0);
    context.tables().globalObjects().findOrCreate("true", yes);
    context.lookupName("true", model::NodeHandle());
    ASSERT_EQ(context.lookup().candidates().size(), 1u);
    EXPECT_EQ(context.lookup().candidates()[0].object, yes);

    // A local and a global of one name are both candidates, the local
    // first; only the innermost local scope counts; an object reachable
    // twice is listed once.
    SmartPtr global = model::makeObject("count", model::kKindVariable, SmartPtr(), 0);
    SmartPtr outer = model::makeObject("count", model::kKindVariable, SmartPtr(), 0);
    SmartPtr inner = model::makeObject("count", model::kKindVariable, SmartPtr(), 0);
    context.lookup().scopes().heaps[0]->findOrCreate("count", global);
    context.lookup().nameIndex()["count"].pushBack(global);
    NameMap outerScope{{"count", outer}}, innerScope{{"count", inner}};
    context.lookup().localScopes() = {&outerScope, &innerScope};
    context.lookupName("count", model::NodeHandle());
    ASSERT_EQ(context.lookup().candidates().size(), 2u);
    EXPECT_EQ(context.lookup().candidates()[0].object, inner);
    EXPECT_EQ(context.lookup().candidates()[1].object, global);
    context.lookup().localScopes().clear();
}

TEST(Resources, TranslationTable) {
    const char* text = "{\"1033\":\"hello\",\"2052\":\"你好\"}";
    JsonNode* document = parseJsonText(text);
    ASSERT_NE(document, nullptr);
    qestl::ByteVector table;
    codegen::buildTranslationTable(table, document);
    const uint8_t head[] = {0x03, 0, 0, 0, 0x09, 0x04, 0, 0, 0, 0, 0, 0, 0x04, 0x08, 0, 0,
                            0x06, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0x0D, 0, 0, 0};
    const char texts[] = "hello\0你好";
    ASSERT_EQ(table.size(), sizeof head + sizeof texts);
    EXPECT_EQ(std::memcmp(table.data(), head, sizeof head), 0);
    EXPECT_EQ(std::memcmp(table.data() + sizeof head, texts, sizeof texts), 0);

    // An empty language object: only the closing pair.
    JsonNode* empty = parseJsonText("{}");
    codegen::buildTranslationTable(table, empty);
    const uint8_t closing[] = {1, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    ASSERT_EQ(table.size(), sizeof closing);
    EXPECT_EQ(std::memcmp(table.data(), closing, sizeof closing), 0);
    jsonRelease(document);
    jsonRelease(empty);
}

TEST(Resources, FamiliesKeepTheirOwnNames) {
    CompileContext context;
    codegen::ResourceTable& table = context.tables().resources();
    const Operand text = table.getOrAdd(context, "#0", codegen::kResourceString, "#0", 2, model::NodeHandle());
    const Operand block = table.getOrAdd(context, "", codegen::kResourceBinary, "\1\2", 2, model::NodeHandle());
    EXPECT_EQ(text.kind, model::kObjectReference);
    EXPECT_EQ(text.value, 0);
    EXPECT_FALSE(text.target == block.target);
    EXPECT_EQ(table.item(1)->name(), "#1");  // counts the names of every family
    EXPECT_EQ(table.getOrAdd(context, "#0", codegen::kResourceString, "#0", 2, model::NodeHandle()).target,
              text.target);
    EXPECT_EQ(table.items().size(), 2u);
    const Operand missing =
        table.getOrAdd(context, "no/such/file.ico", codegen::kResourceFile, nullptr, 0, model::NodeHandle());
    EXPECT_EQ(missing.kind, 0u);
    EXPECT_EQ(context.errorCount(), 1u);

    JsonNode* mapping = parseJsonText("{\"#0\": {\"7\": \"x\"}}");
    table.applyLanguageMapping(mapping);
    EXPECT_EQ(table.item(0)->kind(), codegen::kResourceTranslations);
    EXPECT_EQ(table.item(1)->kind(), codegen::kResourceBinary);
    jsonRelease(mapping);
}

}  // namespace

namespace {

// The warnings a step reports, collected by a capture.
template <typename Step>
std::string warningsOf(CompileContext& context, Step step) {
    DiagnosticCapture capture;
    capture.begin(context.diagnostics());
    step();
    capture.close(context.diagnostics());
    return std::string(capture.warningText.view());
}

TEST(Warnings, CheckThrowsListsUncoveredTypesInCreationOrder) {
    CompileContext context;
    CompileOptions options;
    options.warningFlags = kWarningFlagWe;
    context.setOptions(&options);
    SmartPtr second = model::makeObject("Second", model::kKindClass, SmartPtr(), 0);
    SmartPtr first = model::makeObject("First", model::kKindClass, SmartPtr(), 0);
    SmartPtr called = model::makeFunction("call", SmartPtr());
    auto* function = static_cast<model::FunctionObject*>(model::asObject(called));
    function->addThrows(first);
    function->addThrows(second);
    const std::string text = warningsOf(context, [&] { context.checkThrows(*function, model::NodeHandle()); });
    EXPECT_NE(text.find("[Warning:330]"), std::string::npos);
    EXPECT_NE(text.find("表达式可能抛出异常: \tSecond\tFirst."), std::string::npos) << text;

    SmartPtr quiet = model::makeFunction("quiet", SmartPtr());
    EXPECT_EQ(warningsOf(context, [&] { context.checkThrows(*model::asObject(quiet), model::NodeHandle()); }), "");
    options.warningFlags = 0;  // 330 needs -we
    EXPECT_EQ(warningsOf(context, [&] { context.checkThrows(*function, model::NodeHandle()); }), "");
}

TEST(Warnings, UnusedObjectsAndParameters) {
    CompileContext context;
    model::Container frame(model::kStackFrame);
    auto add = [&](const char* name, uint32_t nodeKind, bool used) {
        SmartPtr object = model::makeObject(name, model::kKindVariable, SmartPtr(), 0);
        model::IRObject* o = model::asObject(object);
        o->declarationNode = makeAstNode(nodeKind, name);
        if (used) o->flagsA |= model::kFlagUsed;
        frame.findOrCreate(name, object);
    };
    add("param", NodeKind::List, false);
    add("local", NodeKind::VariableDeclaration, false);
    add("used", NodeKind::VariableDeclaration, true);
    add("$hidden", NodeKind::VariableDeclaration, false);
    const std::string text = warningsOf(context, [&] { warnUnusedObjects(frame, context); });
    EXPECT_NE(text.find("[Warning:204]警告:\n\n未使用的参数:param"), std::string::npos) << text;
    EXPECT_NE(text.find("[Warning:200]警告:\n\n未使用的对象:local"), std::string::npos) << text;
    EXPECT_EQ(text.find("used"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
}

TEST(DebugInfo, AFunctionsRecordNamesItsFrameAndIsReplaced) {
    codegen::DebugInfoTable table;
    SmartPtr function = model::makeFunction("f", SmartPtr());
    model::IRObject* f = model::asObject(function);
    SmartPtr body = codegen::makeInstruction(model::kOpExit, 0);
    f->opcode = model::kOpJmp;
    f->operandCount = 1;
    f->operands[0].setObjectRef(body, 0);
    model::Container frame(model::kStackFrame);
    frame.findOrCreate("b", model::makeObject("b", model::kKindVariable, SmartPtr(), 0));
    frame.findOrCreate("a", model::makeObject("a", model::kKindVariable, SmartPtr(), 0));
    table.addFunction(function, frame);
    frame.findOrCreate("c", model::makeObject("c", model::kKindVariable, SmartPtr(), 0));
    table.addFunction(function, frame);
    ASSERT_EQ(table.size(), 1u);
    const codegen::FunctionDebugRecord* record = table.find(f);
    ASSERT_NE(record, nullptr);
    const auto names = table.frameNames(*record);
    EXPECT_EQ(std::vector<std::string_view>(names.begin(), names.end()),
              (std::vector<std::string_view>{"b", "a", "c"}));
    EXPECT_EQ(record->codeRecord, body);
    // Once the table of slots is let go of, the records are searched, and
    // a record added later still replaces its function's.
    SmartPtr other = model::makeFunction("g", SmartPtr());
    SmartPtr never = model::makeFunction("h", SmartPtr());
    table.addFunction(other, frame);
    table.releaseIndex();
    ASSERT_NE(table.find(f), nullptr);
    EXPECT_EQ(table.find(f)->function, function);
    ASSERT_NE(table.find(model::asObject(other)), nullptr);
    EXPECT_EQ(table.find(model::asObject(other))->function, other);
    EXPECT_EQ(table.find(model::asObject(never)), nullptr);
    table.addFunction(function, model::Container(model::kStackFrame));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.frameNames(*table.find(f)).size(), 0u);
    EXPECT_EQ(table.find(model::asObject(other))->function, other);
    f->detach();
    table.clear();
    EXPECT_EQ(table.size(), 0u);
}

}  // namespace

namespace {

TEST(Scopes, ClassMembersGoToTheInnermostClass) {
    CompileContext context;
    SmartPtr box = model::makeClass("Box", context.builtins().classType);
    context.lookup().scopes().pushObjectScope(box);
    EXPECT_EQ(context.currentScopeMode(), static_cast<uint32_t>(ScopeRecord::kClassScope));
    context.setCompileMode(kDeclareMember);
    SmartPtr field = model::makeObject("size", model::kKindVariable, SmartPtr(), 0);
    SmartPtr shared = model::makeObject("count", model::kKindVariable, SmartPtr(), 0);
    context.lookup().scopes().declareObject("size", field, false);
    context.lookup().scopes().declareObject("count", shared, true);
    auto* klass = model::asClass(model::asObject(box));
    EXPECT_NE(klass->dynamicProperties.indexesOf("size"), nullptr);
    EXPECT_NE(klass->staticProperties().indexesOf("count"), nullptr);
    EXPECT_NE(context.lookup().scopes().heaps[0]->indexesOf("$unnamed_object_0"), nullptr);
    SmartPtr inner = model::makeClass("Inner", context.builtins().classType);
    context.lookup().scopes().declareClass("Inner", inner);
    context.lookup().scopes().popObjectScope();
    EXPECT_EQ(context.currentScopeMode(), 0u);
    // Outside every object scope a class goes to the first heap.
    SmartPtr top = model::makeClass("Top", context.builtins().classType);
    context.lookup().scopes().declareClass("Top", top);
    EXPECT_NE(context.lookup().scopes().heaps[0]->indexesOf("Top"), nullptr);
    SmartPtr string = context.lookup().scopes().declareGlobal("String", context.builtins().classType);
    EXPECT_EQ(context.lookup().scopes().declareGlobal("String", context.builtins().classType), string);
    EXPECT_EQ(context.lookup().scopes().heaps[1]->members().size(), 1u);
}

TEST(Scopes, AClassInAFunctionCapturesTheFrameOnce) {
    CompileContext context;
    context.setCompileMode(kDeclareLocal);
    context.lookup().scopes().declareObject("local", model::makeObject("local", model::kKindVariable, SmartPtr(), 0),
                                            false);
    model::Container* frame = context.lookup().scopes().frame.get();
    SmartPtr lambda = model::makeClass("anonymous", context.builtins().classType);
    auto* klass = model::asClass(model::asObject(lambda));
    {
        ClosureCapture capture;
        capture.begin(context, lambda);
        EXPECT_EQ(klass->rareClass().captureContainer, frame);
        EXPECT_EQ(frame->kind(), static_cast<uint32_t>(model::kClosure));
        EXPECT_NE(context.lookup().scopes().frame.get(), frame);
        capture.end();
        capture.end();  // the second call changes nothing
        EXPECT_EQ(context.lookup().scopes().frame.get(), frame);
    }
    EXPECT_EQ(context.lookup().scopes().frame.get(), frame);
    EXPECT_EQ(frame->kind(), static_cast<uint32_t>(model::kStackFrame));
    EXPECT_EQ(klass->capturesSlots, 1);

    CompileContext empty;
    SmartPtr plain = model::makeClass("plain", context.builtins().classType);
    ClosureCapture none;
    none.begin(empty, plain);
    EXPECT_EQ(model::asClass(model::asObject(plain))->rareClass().captureContainer, nullptr);
    none.end();
    EXPECT_TRUE(empty.lookup().scopes().frames.empty());
}

TEST(Scopes, NewableValueTypes) {
    SmartPtr klass = model::makeClass("K", SmartPtr());
    model::IRObject* k = model::asObject(klass);
    for (int code : {0, 9, 11, 0xFF}) {
        k->typeCode = static_cast<uint8_t>(code);
        EXPECT_TRUE(isNewable(*k)) << code;
    }
    for (int code : {1, 4, 8, 10}) {
        k->typeCode = static_cast<uint8_t>(code);
        EXPECT_FALSE(isNewable(*k)) << code;
    }
}

}  // namespace

namespace {

TEST(ImageAddresses, ResolutionPlacesTheCodeListsUnlessAClassRecordIsAmongThem) {
    CompileContext context;
    CodeList& main = context.emitter().list(kMainList);
    CodeList& members = context.emitter().list(kMemberCodeList);
    main.pushBack(codegen::makeChecketp(1, 2));                     // 28 bytes
    main.pushBack(codegen::makeRet(makeAstNode(NodeKind::Block)));  // 4, with a source position
    members.pushBack(codegen::makeJump(model::kOpJmp, 0));          // 16
    context.resolveOperands();
    context.assignAddresses();
    EXPECT_EQ(main[1].as<model::cbircode>()->address(), 220u);
    EXPECT_EQ(members[0].as<model::cbircode>()->address(), 224u);
    EXPECT_EQ(context.tables().sectionStarts()[codegen::kSecondEnd], 240u);
    EXPECT_EQ(context.tables().linedRecords(), 1u);

    // A class record's size follows its tables, which resolution may still
    // change: the lists are placed again after it.
    SmartPtr klass = model::makeClass("K", context.builtins().classType);
    main.pushBack(klass);
    context.resolveOperands();
    context.assignAddresses();
    const uint64_t classEnd = 224 + klass.as<model::cbircode>()->encodedSize();
    EXPECT_EQ(members[0].as<model::cbircode>()->address(), classEnd);
    EXPECT_EQ(context.tables().sectionStarts()[codegen::kMainEnd], classEnd);
    EXPECT_EQ(context.tables().linedRecords(), 1u);
    context.reset();
}

TEST(PickSingleObject, ATieDropsTheBestAndALaterCandidateWins) {
    CompileContext context;
    model::IRValueList list;
    for (const char* name : {"a", "b", "c"}) {
        qestl::SmartPtr object = model::makeObject(name, model::kKindVariable, qestl::SmartPtr(), 0);
        list.pushBack(model::IRResult(object, model::makeImmediate(0, model::kImmInt)));
    }
    EXPECT_EQ(pickSingleObject(context, list, model::NodeHandle()), &list[2]);
    list.popBack();
    DiagnosticCapture capture;
    capture.begin(context.diagnostics());
    EXPECT_EQ(pickSingleObject(context, list, model::NodeHandle()), nullptr);
    EXPECT_NE(std::string(capture.errorText.view()).find("对象不明确"), std::string::npos);
    capture.close(context.diagnostics());
}

}  // namespace
