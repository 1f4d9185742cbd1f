// Native member functions: `int stdcall f(int a);` in a class body, outside
// any import block. The function's address lives in a hidden `Pointer` field
// of each object, one per overload (named by the declaration text), and the
// call goes through that field. Declared by the declaration pass (errors
// deferred) and again by the compile pass (at once); the node is marked once
// declared.
#include <optional>

#include "codegen/compile_utilities.h"
#include "declare/declaration_entries.h"
#include "declare/declaration_pass.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/opcodes.h"
#include "source/annotation_edit.h"
#include "source/ast_nodes.h"

namespace {

using model::NodeHandle;

NodeHandle textNodeAt(const NodeHandle& position, std::string_view text) {
    NodeHandle made(emplaceAstNode(position));
    made->setText(text);
    return made;
}

// The declaration of the hidden field, as if written `@Native Pointer name;`.
NodeHandle hiddenFieldNode(const NodeHandle& declaration, std::string_view name) {
    NodeHandle field(emplaceAstNode(declaration));
    field->flags |= NodeFlag::Native;
    setNativeAnnotationParameter(*field, nullptr, nullptr);
    field->operands.pushBack(textNodeAt(declaration, "Pointer"));
    field->operands.pushBack(textNodeAt(declaration, name));
    return field;
}

// Where the field lies in each object: the slot it gets, or, when an
// earlier unfinished run left a field of that name, its member index.
model::Operand placeHiddenField(model::ClassObject& owner, const qestl::SmartPtr& field) {
    const std::string_view name = model::asObject(field)->name.view();
    if (const auto* listed = owner.dynamicProperties.indexesOf(name); listed && !listed->empty())
        return model::Operand(static_cast<int64_t>(listed->front()) + 1, model::kErrorOperand, model::kTypeInt);
    return owner.dynamicProperties.findOrCreate(name, field);
}

}  // namespace

int32_t compileNativeDeclaration(CompileContext& context, const NodeHandle& node, const qestl::SmartPtr& givenOwner,
                                 bool deferErrors) {
    if (!node || declare::isDeclared(node)) return 0;
    qestl::SmartPtr owner = givenOwner;
    std::optional<ScopeModeGuard> lookupMode;
    if (context.lookup().scopes().declarationMode() == kDeclareMember) {
        owner = context.currentScopeObject();
        context.pushScopeMode(false);
        lookupMode.emplace(context);
    }
    context.lookup().clearResults();
    model::ClassObject* klass = model::asClass(model::asObject(owner));
    // The grammar puts these only in class bodies: elsewhere there is no
    // object to hold the function's address.
    if (klass == nullptr) {
        context.reportErrorOnce(diag::NotAllowedHere, node);
        return 0;
    }
    const NodeHandle conventionNode = model::IRCore::operandOf(node, 1);
    const std::string convention(conventionNode ? conventionNode->text.view() : std::string_view());

    qestl::SmartPtr made = model::adoptLive(new model::ImportedFunction());
    auto* function = static_cast<model::ImportedFunction*>(model::asObject(made));
    if (!declare::nativeParameterCountFits(context, node)) return 0;
    function->setName(node->text.view());
    function->setOwner(model::IRResult(owner));
    function->buildLinkName();
    function->setDeclarationNode(node);
    if (!declare::declareNativeParameters(context, deferErrors, *function, node)) return 0;
    const qestl::SmartPtr returnType = declare::nativeReturnType(context, deferErrors, node);
    if (!returnType) return 0;
    function->setType(returnType);
    function->setOwner(model::IRResult(owner));
    function->buildLinkName();
    function->setConvention(convention);

    const qestl::qestringA fieldName = model::formatDeclaration(*function);
    qestl::SmartPtr field = model::makeObject(fieldName.view(), model::kKindVariable, context.builtins().pointerType,
                                              0);
    model::asObject(field)->setDeclarationNode(hiddenFieldNode(node, fieldName.view()));
    function->opcode = model::kOpNativeCall;
    function->operandCount = 1;
    function->operands[0] = placeHiddenField(*klass, field);

    // Added complete, so the class compares it with the methods it holds.
    if (klass->addMethod(context, function->name.view(), made, false).kind == model::kErrorOperand) {
        declare::raiseOnce(context, deferErrors, diag::OverloadExists, node);
        return 0;
    }
    function->setDeclared(true);
    declare::markDeclared(node);
    return 0;
}
