// The subscript a[i]: in value position an element load (or the "[]"
// operator of a's class), in type position (new int[n], and the inner
// levels of new int[2][3]) the pushes of an array allocation, with the one
// `alloc array` at the outermost level.
#include "codegen/candidate_pickers.h"
#include "codegen/compile_context.h"
#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "declare/declaration_entries.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "expressions/expression_state.h"
#include "model/builtin_types.h"
#include "model/ir_object.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"

namespace {

constexpr uint32_t kValueKinds[] = {model::kKindVariable, model::kKindFunction, model::kKindOperator};

model::IRResult* pickValue(model::IRValueList& candidates) {
    model::IRResult* chosen = nullptr;
    if (codegen::pickBestOverloadForArgs(candidates, kValueKinds, std::size(kValueKinds), chosen) != 0) return nullptr;
    return chosen;
}

qestl::SmartPtr valueTypeOf(const model::IRResult& value) {
    const model::IRObject* object = value.objectPtr();
    return object != nullptr ? object->valueType() : qestl::SmartPtr();
}

// The type code pushed before an allocation: byte 1 ... String 9, the
// built-in pointer 12; 0 for a type outside the table.
int32_t elementTypeCode(const model::IRObject* type) {
    const struct {
        model::Builtin type;
        int32_t code;
    } rows[] = {{model::Builtin::Byte, 1},    {model::Builtin::Char, 2}, {model::Builtin::Short, 3},
                {model::Builtin::Int, 4},     {model::Builtin::Long, 5}, {model::Builtin::Float, 6},
                {model::Builtin::Double, 7},  {model::Builtin::Bool, 8}, {model::Builtin::String, 9},
                {model::Builtin::Pointer, 12}};
    for (const auto& row : rows)
        if (model::isBuiltin(type, row.type)) return row.code;
    return 0;
}

void push(CompileContext& context, model::IRResult& result, const model::Operand& operand, const StatementNode& node) {
    result.appendInstruction(result.pending, codegen::makeInstructionWithOperand(model::kOpPush, operand),
                             context.frameOwner(), node);
}

void pushTypeCode(CompileContext& context, model::IRResult& result, int32_t code, const StatementNode& node) {
    result.appendInstruction(result.pending, codegen::makePushTypeId(code), context.frameOwner(), node);
}

void reportUndefined(CompileContext& context, const StatementNode& node) {
    qestl::qestringA listing;
    appendDidYouMean(context, listing, node);
    context.reportError(diag::UndefinedIdentifier, node, listing);
}

uint32_t compileElementLoad(CompileContext& context, const StatementNode& node) {
    const StatementNode arrayNode = nodeChild(node, 0);
    const StatementNode indexNode = nodeChild(node, 1);
    model::IRValueList indexValues;
    model::IRValueList arrayValues;
    context.lookup().clearResults();
    compileStatement(context, indexNode, false);
    context.lookup().takeResults(indexValues);
    compileStatement(context, arrayNode, false);
    context.lookup().takeResults(arrayValues);
    if (context.diagnostics().hasErrors()) return 0;
    if (arrayValues.empty()) {
        reportUndefined(context, arrayNode);
        return 0;
    }
    if (operatorOverloadDeclared(context, arrayValues, node)) {
        IRValueListArray arguments;
        arguments.push_back(indexValues);
        if (callOperatorOverload(context, arrayValues, arguments, node)) return 0;
    }

    model::IRResult* index = pickValue(indexValues);
    if (index == nullptr) {
        context.reportError(diag::BadSubscript, indexNode);
        return 0;
    }
    if (!isIntegralType(model::asObject(valueTypeOf(*index)))) {
        context.reportError(diag::SubscriptNotInteger, indexNode);
        return 0;
    }
    model::IRResult* array = pickValue(arrayValues);
    if (array == nullptr) {
        reportUndefined(context, arrayNode);
        return 0;
    }
    model::IRObject* arrayObject = array->objectPtr();
    if (arrayObject == nullptr || !arrayObject->isArray()) {
        context.reportError(diag::NotArrayObject, arrayNode);
        return 0;
    }
    const qestl::SmartPtr elementType = arrayObject->typeOfType();
    model::IRResult result(model::makeObject("", model::kKindVariable, elementType, 0));
    result.appendResult(*index);
    model::Operand indexOperand = index->operand;
    qestl::SmartPtr restoreIndex;
    if (indexOperand.kind == model::kRegister &&
        ((array->operand.kind == model::kRegister && array->operand.value == indexOperand.value) ||
         !array->pending.empty() || arrayObject->ownerResult.hasPendingCode())) {
        // The array's code may overwrite the register holding the index.
        push(context, result, indexOperand, indexNode);
        restoreIndex = codegen::makePopRegister(model::kEcx, model::asObject(valueTypeOf(*index)));
        indexOperand = codegen::makeEcxOperand(model::asObject(valueTypeOf(*index)));
    }
    model::cbircode load(model::kOpLoadElement, 2);
    if (arrayObject->isFunction()) {
        codegen::setInstructionOperand(load, 0, arrayObject->makeObjectOperand());
    } else {
        result.appendResult(*array);
        codegen::setInstructionOperand(load, 0, array->operand);
    }
    if (restoreIndex) result.appendInstructionRef(restoreIndex);
    codegen::setInstructionOperand(load, 1, indexOperand);
    index->checkUse(&context, indexNode);
    array->checkUse(&context, arrayNode);
    result.appendInstruction(result.pending, load, context.frameOwner(), node);
    result.operand = codegen::makeEaxOperand(model::asObject(elementType));
    context.lookup().setResults(std::move(result));
    return 0;
}

uint32_t compileAllocation(CompileContext& context, const StatementNode& node, bool outermost) {
    const StatementNode elementNode = nodeChild(node, 0);
    const StatementNode dimensionNode = nodeChild(node, 1);
    model::IRResult result;
    qestl::SmartPtr elementType;
    int32_t typeCode = 0;
    if (elementNode && elementNode->text.view() != "[]") {
        context.lookup().clearResults();
        resolveTypeReference(context, elementNode);
        if (context.lookup().candidates().size() == 1) {
            const model::IRResult found = context.lookup().candidates()[0];
            typeCode = elementTypeCode(found.objectPtr());
            if (typeCode != 0) {
                elementType = found.object;
                push(context, result, found.operand, elementNode);
                pushTypeCode(context, result, typeCode, elementNode);
            }
        }
        context.lookup().clearResults();
    }
    if (!elementType) {
        expressionState(context).arrayTypeHint = true;
        compileStatement(context, elementNode, false);
        expressionState(context).arrayTypeHint = false;
        model::IRValueList types;
        context.lookup().takeResults(types);
        if (context.diagnostics().hasErrors()) return 0;
        model::IRResult* accepted = nullptr;
        for (model::IRResult& candidate : types) {
            if (!isTypeObject(candidate.objectPtr())) continue;
            if (accepted != nullptr) {
                context.reportError(diag::AmbiguousType, elementNode);
                return 0;
            }
            accepted = &candidate;
        }
        if (accepted == nullptr) {
            context.reportError(diag::UnknownType, elementNode);
            return 0;
        }
        elementType = accepted->object;
        result.appendResult(*accepted);
        // A nested level's pushes are in its code already.
        if (!accepted->objectPtr()->isArray()) {
            push(context, result, accepted->operand, elementNode);
            pushTypeCode(context, result, typeCode != 0 ? typeCode : int32_t{model::kTypeObject}, elementNode);
        }
    }
    context.lookup().clearResults();
    compileStatement(context, dimensionNode, false);
    model::IRValueList dimensions;
    context.lookup().takeResults(dimensions);
    if (context.diagnostics().hasErrors()) return 0;
    model::IRResult* dimension = pickValue(dimensions);
    if (dimension == nullptr) {
        context.reportError(diag::BadSubscript, dimensionNode ? dimensionNode : node);
        return 0;
    }
    dimension->checkUse(&context, dimensionNode);
    if (!isIntegralType(model::asObject(valueTypeOf(*dimension)))) {
        context.reportError(diag::DimensionNotInteger, dimensionNode);
        return 0;
    }
    result.appendResult(*dimension);
    push(context, result, dimension->operand, dimensionNode);

    const qestl::SmartPtr arrayType = context.arrayTypeOf(elementType);
    if (outermost) {
        model::cbircode allocate(model::kOpAllocArray, 0);
        result.appendInstruction(result.pending, allocate, context.frameOwner(), node);
        result.object = model::makeObject("", model::kKindVariable, arrayType, 0);
        result.operand = codegen::makeEaxOperand(model::asObject(arrayType));
    } else {
        result.object = arrayType;
    }
    context.lookup().setResults(std::move(result));
    return 0;
}

}  // namespace

// The element access `a[i]` (a Subscript node).
uint32_t compileArraySubscript(CompileContext& context, const StatementNode& node) {
    const bool allocates = (node->flags & NodeFlag::New) != 0;
    bool& hint = expressionState(context).arrayTypeHint;
    const bool nested = hint;
    hint = false;
    if (allocates || nested) return compileAllocation(context, node, allocates);
    return compileElementLoad(context, node);
}
