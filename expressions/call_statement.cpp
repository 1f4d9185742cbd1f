// A call expression (kind 38): the pseudo-functions the compiler answers
// itself (__kPackageResource, __KInterrupt, __nilptr_safe), then the callee
// and the arguments compiled to candidates and handed to the call binder.
// The call's value is left as the only candidate, its code pending on it.
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "codegen/resource_table.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "foundation/text_number.h"
#include "model/builtin_types.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kCallee = 0;
constexpr uint32_t kArgumentList = 2;

bool holdsTemplateMethod(const model::IRValueList& candidates) {
    for (const model::IRResult& candidate : candidates) {
        model::IRObject* object = candidate.objectPtr();
        if (object != nullptr && object->classRef()->isKind(model::kKindTemplateFunction)) return true;
    }
    return false;
}

// The file named by a string literal, embedded as a byte-array resource.
void compilePackageResource(CompileContext& context, const StatementNode& argument, const StatementNode& node) {
    if (argument->kind != NodeKind::StringLiteral) {
        context.reportError(diag::ResourceNotLiteral, argument);
        return;
    }
    const model::BuiltinTypes& types = context.builtins();
    qestl::SmartPtr bytes = model::makeObject("", model::kKindVariable, context.arrayTypeOf(types.byteType), 0);
    model::IRObject* object = model::asObject(bytes);
    object->setConst(true);
    object->modifiers = (object->modifiers & ~model::kStateMask) | model::kStateDefinite;
    const model::Operand resource = context.tables().resources().getOrAdd(context, argument->text.view(),
                                                                          codegen::kResourceFile, nullptr, 0, node);
    context.lookup().setResults(model::IRResult(bytes, resource));
}

void compileInterrupt(CompileContext& context, const StatementNode& argument, const StatementNode& node) {
    if (argument->kind != NodeKind::IntegerLiteral || !qestl::isNumericText(qestl::qestringA(argument->text.view()))) {
        context.reportError(diag::InterruptNotLiteral, argument);
        return;
    }
    context.emitter().emit(codegen::makeInterrupt(qestl::qestringA(argument->text.view()).toInt()), node);
}

// Every value named is known not to be nilptr from here on.
void markNotNilptr(CompileContext& context, IRValueListArray& arguments) {
    for (model::IRValueList& candidates : arguments) {
        for (model::IRResult& candidate : candidates) {
            model::IRObject* object = candidate.objectPtr();
            if (object == nullptr) continue;
            model::IRObject* held = object->classRef();
            held->noteWrite();
            held->modifiers = (held->modifiers & ~model::kStateMask) | model::kStateDefinite;
        }
    }
    context.lookup().clearResults();
}

}  // namespace

// The call `f(...)`, `o.m(...)` or `super(...)` (a Call node).
uint32_t compileCall(CompileContext& context, const StatementNode& node) {
    const StatementNode callee = nodeChild(node, kCallee);
    const StatementNode argumentList = node->operands.size() > kArgumentList ? nodeChild(node, kArgumentList)
                                                                             : StatementNode();
    const size_t argumentCount = argumentList ? argumentList->operands.size() : 0;
    if (!callee) {
        context.reportError(diag::BadMethod, node);
        return 0;
    }
    const std::string_view name = callee->text.view();
    if (name == "__kPackageResource" || name == "__KInterrupt") {
        const StatementNode argument = argumentCount == 1 ? nodeChild(argumentList, 0) : StatementNode();
        if (!argument) context.reportError(diag::BadArguments, node);
        else if (name == "__kPackageResource") compilePackageResource(context, argument, node);
        else compileInterrupt(context, argument, node);
        return 0;
    }

    // Whatever the arguments and the callee emit lands in the call's code.
    model::IRResult call;
    // The call's code goes to its result's pending list.
    CodeEmitter::ListScope pendingList(context.emitter(), call.pending);
    IRValueListArray arguments;
    arguments.reserve(argumentCount);
    for (size_t i = 0; i < argumentCount; ++i) {
        arguments.emplace_back();
        if (!compileToCandidates(context, nodeChild(argumentList, i), arguments.back())) return 0;
    }
    if (name == "__nilptr_safe") {
        markNotNilptr(context, arguments);
        return 0;
    }

    CalleeMembers members(context, callee);
    compileStatement(context, callee, false);
    members.close();
    if (context.diagnostics().hasErrors()) return 0;
    RecycledValueList found(context.lookup());
    context.lookup().takeResults(found);
    model::IRValueList& methods = members.held() ? members.bare() : found;
    if (methods.empty()) {
        context.reportError(diag::MethodNotFoundShort, callee);
        return 0;
    }
    // Bare members are plain methods, never template ones.
    const bool compiled = holdsTemplateMethod(methods)
                              ? compileTemplateMethodCall(context, node, methods, arguments)
                              : compileCallToCandidates(context, methods, arguments, node, &members);
    if (!compiled || context.lookup().candidates().size() != 1) return 0;

    model::IRResult& value = context.lookup().resultsInPlace()[0];
    value.prependOwnerCode();
    // Moved: the value is dropped for the call's own below.
    call.pending.appendTaken(value.pending);
    call.object = value.object;
    // A template method call left for later stays recognisable as one.
    call.secondObject = value.secondObject;
    call.secondNode = value.secondNode;
    call.sourceNode = value.sourceNode;
    call.markerByte = value.markerByte;
    call.mergeObjectStatesFrom(value);
    call.operand = model::Operand(
        model::kEax, model::kRegister,
        call.objectPtr() != nullptr ? model::typeCodeOf(call.objectPtr()) : uint32_t{model::kTypeObject});
    pendingList.end();
    context.lookup().setResults(std::move(call));
    return 0;
}

bool compileCallToCandidates(CompileContext& context, model::IRValueList& candidates, IRValueListArray& arguments,
                             const StatementNode& node, CalleeMembers* bare) {
    ConstructorListing tried;
    const bool bound = resolveAndCompileCall(context, nullptr, candidates, arguments, false, node, tried, bare);
    if (context.lookup().candidates().size() == 1) return bound;
    if (bare != nullptr) bare->wrapAll(candidates);
    const StatementNode callee = nodeChild(node, kCallee);
    const Diagnostic& entry = context.lookup().candidates().size() > 1   ? diag::AmbiguousCall
                              : callee && callee->text.view() == "super" ? diag::SuperCallMismatch
                                                                         : diag::NoMatchingMethod;
    qestl::qestringA listings;
    describeMethodCandidates(candidates, listings);
    describeArgumentsAndCandidates(arguments, listings);
    if (!tried.empty()) context.reportError(diag::ConstructorCandidates, node, tried.describe());
    context.reportError(entry, node, listings);
    context.lookup().clearResults();
    return false;
}
