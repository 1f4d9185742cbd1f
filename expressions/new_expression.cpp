// `new T(arguments) { members }`: the anonymous class derived from T is
// compiled first, then one of its constructors is chosen for the arguments
// and called by the call binder.
#include "classes/compile_class.h"
#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "statements/compile_walk.h"

namespace {

constexpr size_t kArgumentListsReserved = 256;

// Each argument compiled on a code list of its own; its single value goes
// to `arguments`. False after reporting the first argument that fails.
bool compileArguments(CompileContext& context, const StatementNode& list, const StatementNode& node,
                      IRValueListArray& arguments) {
    if (!list) return true;
    for (const StatementNode& argument : list->operands) {
        CodeList own;
        CodeEmitter::ListScope inOwn(context.emitter(), own);
        const uint32_t errorsBefore = context.errorCount();
        context.lookup().clearResults();
        compileStatement(context, argument, true);
        model::IRValueList values;
        context.lookup().takeResults(values);
        inOwn.end();
        // An argument that reported its own error is not reported again.
        if (context.errorCount() != errorsBefore) return false;
        if (values.empty()) {
            if (!argument) {
                context.reportError(diag::ArgumentError, node);
                return false;
            }
            qestl::qestringA listing;
            appendDidYouMean(context, listing, argument);
            context.reportError(diag::ArgumentNotFound, argument, argument->text.view(), listing);
            return false;
        }
        if (values.size() > 1) {
            context.reportError(diag::ObjectUndetermined, argument);
            return false;
        }
        arguments.push_back(std::move(values));
    }
    return true;
}

}  // namespace

// The expression `new T(...) { members }`, an anonymous class (a NewWithBody node).
uint32_t compileNewExpression(CompileContext& context, const StatementNode& node) {
    {
        qestl::SmartPtr origin;
        compileTemporaryClass(context, nullptr, node, origin, kConstructClass, true);
    }
    if (context.diagnostics().hasErrors()) return 0;
    model::IRValueList classes;
    context.lookup().takeResults(classes);

    const StatementNode call = nodeChild(node, 0);
    IRValueListArray arguments;
    arguments.reserve(kArgumentListsReserved);
    if (!compileArguments(context, nodeChild(call, 2), node, arguments)) return 0;
    if (classes.empty()) {
        const StatementNode named = nodeChild(call, 0);
        qestl::qestringA listing;
        appendDidYouMean(context, listing, named);
        context.reportError(diag::UndefinedIdentifier, named, listing);
        return 0;
    }

    // The call node carries the `new` flag the binder asks for.
    const model::IRResult created = classes[0];
    ConstructorListing tried;
    const bool bound = resolveAndCompileCall(context, &created, classes, arguments, true, call, tried);
    if (bound && context.lookup().candidates().size() == 1) return 0;
    const Diagnostic& entry = context.lookup().candidates().size() > 1 ? diag::AmbiguousCall : diag::NoMatchingMethod;
    qestl::qestringA listings;
    describeMethodCandidates(classes, listings);
    describeArgumentsAndCandidates(arguments, listings);
    context.lookup().clearResults();
    if (!tried.empty()) context.reportError(diag::ConstructorCandidates, node, tried.describe());
    context.reportError(entry, node, listings);
    return 0;
}
