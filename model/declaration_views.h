// Read-only views over declaration nodes, so that every stage asks a
// function, operator or class declaration the same questions the same way;
// and the one-line declaration text of a compiled object.
#pragma once

#include <string>

#include "foundation/qestring.h"
#include "model/ir_object.h"

namespace model {

class IRCore {
public:
    virtual ~IRCore() = default;

    // Operand i of a node (never child i); empty when there is none.
    static NodeHandle operandOf(const NodeHandle& node, size_t i);
};

class IRFunction : public IRCore {
public:
    explicit IRFunction(NodeHandle declaration) : node(std::move(declaration)) {}

    virtual size_t parameterCount() const;
    virtual qestl::qestringA parameterName(size_t i) const;
    virtual NodeHandle parameterType(size_t i) const;
    virtual NodeHandle returnType() const { return operandOf(node, kReturnTypeOperand); }
    virtual bool isStatic() const { return node && (node->flags & 0x1) != 0; }
    virtual bool isOverride() const { return node && (node->flags & 0x8) != 0; }
    virtual bool isFinal() const { return node && (node->flags & 0x4) != 0; }
    // Read in place from the node's stored text, not copied: a program has a
    // function object named so for every method.
    virtual qestl::qestringA name() const {
        return node && !node->text.empty() ? node->text.inPlace() : qestl::qestringA();
    }
    virtual NodeHandle throwsList() const { return operandOf(node, 3); }
    static constexpr size_t kReturnTypeOperand = 1, kBodyOperand = 4, kClosingOperand = 5;
    virtual NodeHandle body() const { return operandOf(node, kBodyOperand); }
    virtual NodeHandle closingNode() const { return operandOf(node, kClosingOperand); }
    NodeHandle parameterNode(size_t i) const { return operandOf(operandOf(node, 2), i); }
    // A template parameter list comes first: the caller makes a template
    // function.
    bool isTemplate() const { return static_cast<bool>(operandOf(node, 0)); }

    NodeHandle node;
};

class IROperator : public IRFunction {
public:
    // The name is the node's text trimmed of tabs, line ends and blanks.
    explicit IROperator(NodeHandle declaration);
    qestl::qestringA name() const override { return operatorName; }

    qestl::qestringA operatorName;
};

class IRClass : public IRCore {
public:
    explicit IRClass(NodeHandle declaration) : node(std::move(declaration)) {}

    virtual qestl::qestringA name() const { return node ? qestl::qestringA(node->text.view()) : qestl::qestringA(); }
    virtual NodeHandle baseList() const { return operandOf(node, shift()); }
    virtual NodeHandle closingNode() const { return operandOf(node, closingOperand()); }
    virtual size_t closingOperand() const { return 2 + shift(); }
    virtual NodeHandle memberList() const { return operandOf(node, 1 + shift()); }
    virtual bool isAnonymous() const { return false; }
    // The template parameters of a template class; none for other nodes.
    NodeHandle templateParameter(size_t i) const { return shift() != 0 ? operandOf(operandOf(node, 0), i) : NodeHandle(); }
    size_t templateParameterCount() const {
        const NodeHandle list = shift() != 0 ? operandOf(node, 0) : NodeHandle();
        return list ? list->operands.size() : 0;
    }

    NodeHandle node;

private:
    // A template class has its parameter list first.
    size_t shift() const { return node && node->kind == NodeKind::TemplateClass ? 1 : 0; }
};

// The class body of a new-expression ("new" T { ... }).
class IRTemporaryClass : public IRClass {
public:
    explicit IRTemporaryClass(NodeHandle declaration);

    qestl::qestringA name() const override { return generatedName; }
    NodeHandle baseList() const override { return operandOf(operandOf(node, 0), 0); }
    size_t closingOperand() const override { return 2; }
    NodeHandle memberList() const override { return operandOf(node, 1); }
    bool isAnonymous() const override { return true; }

    qestl::qestringA generatedName;
};

// The declaration text of an object: "public static int add(int a, int)".
qestl::qestringA formatDeclaration(IRObject& object);

// Makes the object the node's owner object (counted), releasing the previous.
void bindObjectToNode(const NodeHandle& node, IRObject* object);

}  // namespace model
