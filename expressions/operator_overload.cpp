// An operator applied to a class value: when the class declares a method
// named like the operator, the operator is that method's call.
#include <optional>

#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kProbeFlags = 7;

// The operator's name, hashed when a table is first asked for it: the
// usual operand (a variable of a built-in value class, its no kept) asks
// none.
class ProbeName {
public:
    explicit ProbeName(std::string_view text) : text_(text) {}
    std::string_view text() const { return text_; }
    const qestl::HashedText& hashed() {
        if (!hashed_) hashed_.emplace(text_);
        return *hashed_;
    }

private:
    std::string_view text_;
    std::optional<qestl::HashedText> hashed_;
};

// The operand's class asked for the name, unless it answered before
// (expressions/operator_probe_cache.h); true when it is known to declare it,
// its members not bound.
bool askClass(CompileContext& context, model::IRObject* klass, ProbeName& name) {
    OperatorProbeCache& cache = expressionState(context).operatorProbes;
    const size_t stamp = cache.stampFor(context, klass);
    if (stamp == OperatorProbeCache::kNotKept) {
        klass->bindIntrinsicMember(context, name.hashed(), kProbeFlags);
        return false;
    }
    const OperatorProbeCache::Answer known = cache.known(klass, name.text(), stamp);
    if (known != OperatorProbeCache::kUnknown) return known == OperatorProbeCache::kPresent;
    const size_t before = context.lookup().candidates().size();
    klass->bindIntrinsicMember(context, name.hashed(), kProbeFlags);
    if (before == 0)
        cache.note(klass, name.text(), stamp,
                   context.lookup().candidates().empty() ? OperatorProbeCache::kAbsent : OperatorProbeCache::kPresent);
    return false;
}

// Does the operand or its class hold a member of the name? Asked silently:
// the lookup's candidates are dropped again. The name is hashed once for
// every table asked.
bool operandDeclares(CompileContext& context, model::IRObject* object, std::string_view text) {
    if (object == nullptr) return false;
    ProbeName name(text);
    if (OperatorProbeCache::mayOfferOwnMember(*object, text))
        object->bindIntrinsicMember(context, name.hashed(), kProbeFlags);
    // A variable answers for itself; its class for the methods.
    bool known = false;
    if (object->isKind(model::kKindVariable)) {
        model::IRObject* klass = model::asObject(object->valueType());
        if (klass != nullptr && klass != object) known = askClass(context, klass, name);
    }
    const bool found = known || !context.lookup().candidates().empty();
    context.lookup().clearResults();
    return found;
}

bool anyOperandDeclares(CompileContext& context, model::IRValueList& operands, std::string_view name) {
    bool found = false;
    for (model::IRResult& operand : operands) found = operandDeclares(context, operand.objectPtr(), name) || found;
    return found;
}

}  // namespace

bool operatorOverloadDeclared(CompileContext& context, model::IRValueList& operands, const StatementNode& node) {
    const std::string_view name = operatorOverloadName(node);
    context.lookup().clearResults();
    return anyOperandDeclares(context, operands, name);
}

bool operatorOverloadDeclaredOn(CompileContext& context, const model::IRResult& operand, const StatementNode& node) {
    const std::string_view name = operatorOverloadName(node);
    context.lookup().clearResults();
    return operandDeclares(context, operand.objectPtr(), name);
}

bool findOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node) {
    return operatorOverloadDeclared(context, operands, node) &&
           callOperatorOverload(context, operands, arguments, node);
}

bool callOperatorOverload(CompileContext& context, model::IRValueList& operands, IRValueListArray& arguments,
                          const StatementNode& node, bool operandsTaken, const StatementNode* firstNode) {
    StatementNode first, second;
    int32_t count = 0;
    const std::string_view name = firstNode != nullptr ? operatorOverloadName(node)
                                                       : operatorOverloadSignature(node, first, second, count);
    resolveMemberAccess(context, firstNode != nullptr ? *firstNode : first, &operands, name, node, model::IRValueList(),
                        operandsTaken);
    model::IRValueList methods;
    context.lookup().takeResults(methods);
    if (methods.empty()) {
        context.reportError(diag::NoOperatorOverload, node);
        return false;
    }
    if (!compileCallToCandidates(context, methods, arguments, node)) return false;

    // The call's value, the only result left: marked where it lies.
    model::IRResult& value = context.lookup().resultsInPlace()[0];
    model::IRObject* object = value.objectPtr();
    value.operand = model::Operand(model::kEax, model::kRegister,
                                   object != nullptr ? model::typeCodeOf(object) : uint32_t{model::kTypeObject});
    value.markerByte = 1;
    return true;
}
