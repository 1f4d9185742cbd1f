// The declaration of a template method's instance in the compile pass. The
// declaration pass never declares one: each call that instantiates the
// template compiles a fresh clone of its declaration, the template
// parameters bound as names, and the signature is resolved here with every
// error reported at once. The instance is entered in no scope: its code
// travels with the call that made it.
#include "codegen/compile_context.h"
#include "declare/compile_method.h"
#include "declare/declaration_pass.h"
#include "foundation/diagnostics.h"
#include "model/builtin_types.h"
#include "model/function_object.h"

namespace {

// The one type among the candidates of a type node; null after reporting
// `ambiguous` or `unknown` at the node.
model::IRObject* resolveOneType(CompileContext& context, const StatementNode& typeNode, const char* ambiguous,
                                const char* unknown) {
    resolveTypeReference(context, typeNode);
    const model::IRValueList candidates = declare::takeCandidates(context);
    size_t types = 0;
    qestl::SmartPtr type = declare::firstType(candidates, &types);
    if (types > 1) {
        context.reportError(ambiguous, typeNode);
        return nullptr;
    }
    if (!type) {
        context.reportError(unknown, typeNode);
        return nullptr;
    }
    return model::asObject(type);
}

}  // namespace

qestl::SmartPtr declareMethodInstance(CompileContext& context, const model::IRFunction& view,
                                      const StatementNode& node, bool isStatic, bool isOperator) {
    qestl::SmartPtr made = model::makeFunction(view.name().view(), qestl::SmartPtr());
    auto* function = made.as<model::FunctionObject>();
    if (isOperator) function->flagsA |= model::kFlagOperator;
    function->setOverride(view.isOverride());
    function->setDeclarationNode(node);
    function->setFinal(view.isFinal());
    function->setStatic(isStatic);
    if (!function->isNotNilptr()) function->changeModifiers(model::kModMayNil, 0);
    const std::string_view name = function->name.view();
    if (const char* shape = declare::operatorShapeError(view, name)) {
        context.reportError(shape, node);
        return qestl::SmartPtr();
    }
    for (size_t i = 0; i < view.parameterCount(); ++i) {
        const StatementNode parameterNode = view.parameterNode(i);
        qestl::SmartPtr parameterRef =
            model::makeObject(view.parameterName(i).view(), model::kKindVariable, model::builtinTypes().anyType, 0);
        model::IRObject* parameter = model::asObject(parameterRef);
        parameter->setDeclarationNode(parameterNode);
        parameter->flagsC |= model::kFlagParameter;
        const bool notNil = parameter->isNotNilptr();
        parameter->modifiers = (parameter->modifiers & ~model::kStateMask) |
                               (notNil ? model::kStateDefinite : model::kStateUndetermined);
        if (const StatementNode typeNode = view.parameterType(i)) {
            model::IRObject* type = resolveOneType(context, typeNode, "不明确的参数类型", "未知的参数类型");
            if (type == nullptr) return qestl::SmartPtr();
            parameter->setType(qestl::SmartPtr(type));
        }
        if (!function->addParameter(parameterRef)) {
            context.reportError("相同命名的参数已存在", parameterNode ? parameterNode : node);
            return qestl::SmartPtr();
        }
    }
    // The owner decides whether this is a constructor.
    function->setOwner(model::IRResult(context.currentScopeObject()));
    qestl::SmartPtr returnType;
    if (const StatementNode returnNode = view.returnType()) {
        model::IRObject* type = resolveOneType(context, returnNode, "不明确的返回值类型", "未知的返回值类型");
        if (type == nullptr) return qestl::SmartPtr();
        if (declare::isComparison(name) && !model::isBuiltin(type, model::builtinTypes().boolType)) {
            context.reportError("运算符 <, >, <=, >=, ==, != 的重载方法返回值必须为 bool 类型", returnNode);
            return qestl::SmartPtr();
        }
        returnType = qestl::SmartPtr(type);
    } else if (!function->isConstructor()) {
        context.reportError("方法不是构造函数, 需要返回类型", node);
        return qestl::SmartPtr();
    }
    function->setType(returnType);
    function->buildLinkName();
    model::bindObjectToNode(node, function);
    compileThrowsList(context, made, view.throwsList());
    return made;
}

int32_t compileThrowsList(CompileContext& context, const qestl::SmartPtr& functionRef, const StatementNode& list) {
    auto* function = functionRef.as<model::FunctionObject>();
    if (!list || function == nullptr) return 0;
    for (const StatementNode& item : list->operands) {
        const StatementNode typeNode = declare::writtenThrownType(item);
        if (typeNode) {
            resolveTypeReference(context, typeNode);
        } else {
            context.clearResults();
        }
        const model::IRValueList candidates = declare::takeCandidates(context);
        size_t types = 0;
        qestl::SmartPtr type = declare::firstType(candidates, &types);
        if (types > 1) {
            context.reportError("不明确的返回值类型", item);
            return 0;
        }
        if (!type) {
            context.reportError("未知的返回值类型", item);
            return 0;
        }
        if (!function->addThrows(type)) {
            context.reportWarning(diag::ThrowsListedTwice.warningNumber, diag::ThrowsListedTwice.text, item);
            return 0;
        }
    }
    return 0;
}
