// A bare name: every visible object of it becomes a candidate; `sizeof`
// without a declaration of its own is the built-in size function.
#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/container.h"
#include "model/function_object.h"
#include "statements/compile_walk.h"

// The name `x` used as a value (a Name node).
uint32_t compileIdentifier(CompileContext& context, const StatementNode& node) {
    const std::string_view name = node->text.view();
    context.lookupNodeName(node);
    if (!context.lookup().candidates().empty()) {
        for (const model::IRResult& candidate : context.lookup().candidates()) {
            if (candidate.operand.kind != model::kErrorOperand ||
                candidate.operand.value != model::kErrCaptureOutOfReach)
                continue;
            // A local captured by a class around this one: no operand of
            // this code reaches its closure.
            context.lookup().clearResults();
            context.reportError(diag::NotAllowedHere, node);
            break;
        }
        return 0;
    }
    if (name == "sizeof") {
        const model::BuiltinTypes& types = context.builtins();
        qestl::SmartPtr function = model::makeFunction("$special/_sizeof", types.intType);
        auto* sizeOf = function.as<model::FunctionObject>();
        sizeOf->addParameter(model::makeObject("object", model::kKindVariable, types.anyType, 0));
        context.lookup().addResult(model::IRResult(function, sizeOf->makeObjectOperand()));
        return 0;
    }
    qestl::qestringA listing;
    appendDidYouMean(context, listing, node);
    context.reportError(diag::UndefinedIdentifier, node, listing);
    return 0;
}
