#include "model/declaration_views.h"

#include <cstdio>

namespace model {

NodeHandle IRCore::operandOf(const NodeHandle& node, size_t i) {
    if (!node || i >= node->operands.size()) return {};
    return node->operands[i];
}

size_t IRFunction::parameterCount() const {
    const NodeHandle list = operandOf(node, 2);
    return list ? list->operands.size() : 0;
}

qestl::qestringA IRFunction::parameterName(size_t i) const {
    const NodeHandle parameter = operandOf(operandOf(node, 2), i);
    return parameter ? qestl::qestringA(parameter->text.view()) : qestl::qestringA();
}

NodeHandle IRFunction::parameterType(size_t i) const { return operandOf(operandOf(operandOf(node, 2), i), 0); }

IROperator::IROperator(NodeHandle declaration) : IRFunction(std::move(declaration)) {
    if (!node) return;
    std::string_view text = node->text.view();
    auto blank = [](char c) { return c == 9 || c == 10 || c == 13 || c == 32; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    operatorName.assign(text.data(), text.size());
}

IRTemporaryClass::IRTemporaryClass(NodeHandle declaration) : IRClass(std::move(declaration)) {
    if (node)
        generatedName = qestl::qestringA::format("anonymous_class_%d_%d@%d", static_cast<int>(node->startLine),
                                                 static_cast<int>(node->startColumn), static_cast<int>(node->fileIndex));
}

qestl::qestringA formatDeclaration(IRObject& object) {
    qestl::qestringA text;
    if (object.ownerObject() != nullptr) text.append("public ");
    if (object.isStatic()) text.append("static ");
    const bool function = object.kind == kKindFunction;
    if (object.isConst()) text.append(function ? "final " : "const ");
    IRObject* shownType = asObject(function ? object.returnType() : object.valueType());
    const qestl::qestringA typeName = shownType ? shownType->displayName() : qestl::qestringA();
    if (object.kind == kKindVariable) {
        text.append(object.displayName());
        if (!typeName.empty()) {
            text.append("\t");
            text.append(typeName);
        }
        return text;
    }
    text.append(typeName);
    text.append(" ");
    text.append(object.displayName());
    if (!function) return text;
    text.append("(");
    for (uint64_t i = 0; i < object.parameterCount(); ++i) {
        if (i) text.append(", ");
        IRObject* parameter = asObject(object.parameter(i));
        if (parameter == nullptr) continue;
        IRObject* parameterType = asObject(parameter->valueType());
        if (parameterType) text.append(parameterType->displayName());
        const qestl::qestringA parameterName = parameter->displayName();
        if (!parameterName.empty() && parameterName[0] != '$') {
            text.append(" ");
            text.append(parameterName);
        }
    }
    text.append(")");
    return text;
}

void bindObjectToNode(const NodeHandle& node, IRObject* object) {
    if (node) node->setOwner(object);
}

}  // namespace model
