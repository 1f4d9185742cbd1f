// Variable declarations: locals, fields and statics, typed or `var`, each
// declarator declared in the current scope and given its first value: the
// initialiser's, or the zero of its type.
#include <cstdio>
#include <optional>

#include "codegen/compile_utilities.h"
#include "codegen/instructions.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "expressions/compile_expression.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/declaration_views.h"
#include "model/opcodes.h"
#include "source/annotation_edit.h"
#include "statements/compile_walk.h"
#include "statements/declarations.h"

namespace {

using declarations::valueTypeOf;

constexpr uint32_t kAssigned = model::kStateUndetermined;

// What every declarator of one statement shares.
struct Declaration {
    StatementNode node;
    qestl::SmartPtr type;  // "*" while a `var` has no value yet
    bool automatic = false;
    bool isStatic = false;
    bool isConst = false;
};

// The object of a declarator, made and bound to it unless the declaration
// pass made it already.
qestl::SmartPtr declaratorObject(CompileContext& context, const Declaration& declaration,
                                 const StatementNode& declarator, bool& madeBefore) {
    auto* made = dynamic_cast<model::IRObject*>(declarator->owner());
    madeBefore = made != nullptr;
    if (made != nullptr) return qestl::SmartPtr(made);
    qestl::SmartPtr object = model::makeObject(declarator->text.view(), model::kKindVariable, declaration.type, 0);
    model::IRObject* o = model::asObject(object);
    if (o == nullptr) return {};
    o->setDeclarationNode(declaration.node);
    if (context.lookup().scopes().declarationMode() == kDeclareMember)
        o->setOwner(model::IRResult(context.currentScopeObject()));
    model::bindObjectToNode(declarator, o);
    o->setConst(declaration.isConst);
    return object;
}

// The zero a declarator without initialiser starts from.
model::Operand zeroOf(model::IRObject* type) {
    const uint8_t code = model::dataTypeOfType(type);
    if (code >= model::kTypeByte && code <= model::kTypeBool) return codegen::makeZeroOperand(code);
    return codegen::makeNilOperand();
}

bool storeDefault(CompileContext& context, const Declaration& declaration, model::IRObject& object,
                  const model::Operand& storage, const StatementNode& declarator) {
    if (declaration.automatic) {
        context.reportError(diag::AutoNeedsValue, declarator);
        return false;
    }
    if (declaration.isConst) {
        context.reportError(diag::ConstantNeedsValue, declarator);
        return false;
    }
    model::IRObject* type = model::asObject(declaration.type);
    const model::Operand zero = zeroOf(type);
    if (zero.kind == model::kOperandNone && (context.lookup().scopes().declarationMode() & 5) != 0)
        object.changeModifiers(kAssigned, 0);
    declarations::emitStore(context, model::kOpMov, storage, zero, declarator);
    return true;
}

// A `Native` array field learns its size and element type from its value.
void completeNativeAnnotation(const Declaration& declaration, const model::IRResult& value) {
    model::IRObject* type = model::asObject(declaration.type);
    qeAbstractNode& node = *declaration.node;
    if (type == nullptr || !type->isArray() || !node.hasAnnotation("Native")) return;
    if (node.getAnnotationParameter("Native", "Size") == nullptr) {
        char size[16];
        std::snprintf(size, sizeof size, "%d", static_cast<int>(value.sizeValue));
        setNativeAnnotationParameter(node, "Size", size);
    }
    model::IRObject* element = model::asObject(type->type);
    if (node.getAnnotationParameter("Native", "Type") != nullptr || element == nullptr || element->isArray()) return;
    const model::Builtin natives[] = {model::Builtin::Byte,   model::Builtin::Char,   model::Builtin::Short,
                                      model::Builtin::Int,    model::Builtin::Long,   model::Builtin::Float,
                                      model::Builtin::Double, model::Builtin::Pointer};
    for (model::Builtin native : natives) {
        if (!model::isBuiltin(element, native)) continue;
        const std::string quoted = "\"" + std::string(element->getName().view()) + "\"";
        setNativeAnnotationParameter(node, "Type", quoted.c_str());
    }
}

// A template method call whose type waited for the declaration (a `var`
// one has none to offer: its arguments decide) is compiled now.
void settleDeferredValues(CompileContext& context, model::IRValueList& values, const qestl::SmartPtr& type) {
    bool deferred = false;
    for (const model::IRResult& value : values) deferred = deferred || (value.secondObject && value.secondNode);
    if (!deferred) return;
    model::IRValueList settled;
    DiagnosticCapture capture;
    capture.begin(context.diagnostics());
    trialCompileCandidate(context, settled, values, type);
    capture.close(context.diagnostics());
    for (size_t i = values.size(); i-- > 0;)
        if (values[i].secondObject && values[i].secondNode) values.erase(i);
    for (const model::IRResult& value : settled) values.pushBack(value);
}

// The initialiser of one declarator: compiled, its value chosen among the
// candidates and moved into the storage.
bool storeInitialiser(CompileContext& context, Declaration& declaration, model::IRObject& object,
                      model::Operand& storage, const StatementNode& declarator) {
    const StatementNode initialiser = declarator->operands[0];
    model::IRValueList found;
    if (!declarations::compileInitialiser(context, initialiser, found)) return false;
    settleDeferredValues(context, found, declaration.automatic ? qestl::SmartPtr() : declaration.type);
    if (declaration.automatic) {
        // Every value the initialiser may be counts, a void one too: that
        // one is refused for its type, not as one of several.
        if (found.size() != 1) {
            qestl::qestringA listing;
            dumpScopeSymbols(context, found, listing);
            context.reportError(diag::AutoTypeNotUnique, initialiser, listing);
            return false;
        }
        model::IRObject* valueType = valueTypeOf(found[0]);
        // A brace initialiser names no element type: its array would never
        // be built, and the variable would hold nothing.
        if (valueType == nullptr || model::isBuiltin(valueType, model::Builtin::Void) ||
            isProvisionalArray(found[0].objectPtr())) {
            context.reportError(diag::VoidType, declaration.node);
            return false;
        }
        declaration.type = qestl::SmartPtr(valueType);
        declaration.automatic = false;
        object.assignType(declaration.type);
        // The slot was typed "*" when it was declared; what it holds from
        // now on is a value of the settled type.
        storage.dataType = model::dataTypeOfType(valueType);
    }
    model::IRObject* type = model::asObject(declaration.type);
    model::IRResult* chosen = declarations::firstAssignable(context, found, declaration.type);
    model::IRObject* valueType = chosen != nullptr ? valueTypeOf(*chosen) : nullptr;
    if (valueType == nullptr || !type->assignOperatorAllowed(&context, model::kOpMov, qestl::SmartPtr(valueType))) {
        declarations::reportMismatch(context, diag::CannotAssignTypes, type, found, initialiser);
        return false;
    }
    model::IRObject* value = chosen->objectPtr();
    const uint32_t opcode = type->sameType(valueType) ? model::kOpMov : moveOpcodeForType(type);
    model::Operand source;
    if (value->isFunction()) {
        source = value->makeObjectOperand();
    } else {
        checkConstantNarrowing(context, declaration.type, qestl::SmartPtr(valueType), chosen->operand, declarator);
        context.emitter().flushResult(*chosen);
        // A constant value (a literal, a const variable) is stored as itself.
        const bool constant = value->isConst() && !value->isNamedConstant() && value->hasConstantValue();
        if (constant && declaration.isConst) object.setConstantValue(value->constantValue(), true);
        source = constant ? value->constantValue() : chosen->operand;
    }
    completeNativeAnnotation(declaration, *chosen);
    declarations::emitStore(context, opcode, storage, source, declarator);
    chosen->checkUse(&context, initialiser);
    if (!chosen->isTransientValue(context)) object.changeModifiers(kAssigned, 0);
    else object.inheritValueState(*value);
    return true;
}

bool compileDeclarator(CompileContext& context, Declaration& declaration, const StatementNode& declarator) {
    declarations::warnTypeName(context, declarator);
    bool madeBefore = false;
    const qestl::SmartPtr object = declaratorObject(context, declaration, declarator, madeBefore);
    if (!object) {
        context.reportError(diag::OutOfMemory, declaration.node->operands[0]);
        return false;
    }
    model::Operand storage =
        declarations::declareStorage(context, object, declaration.isStatic, madeBefore);
    if (storage.kind == model::kErrorOperand) {
        context.reportError(diag::DuplicateObject, declaration.node);
        return false;
    }
    model::IRObject& o = *model::asObject(object);
    o.flagsC |= model::kFlagUnassigned;
    const bool done = declarator->operands.size() == 1
                          ? storeInitialiser(context, declaration, o, storage, declarator)
                          : storeDefault(context, declaration, o, storage, declarator);
    o.flagsC &= ~model::kFlagUnassigned;
    return done;
}

// The type the declaration pass gave a member or global: the same type node
// resolved once already (template instances included).
qestl::SmartPtr typeSettledBefore(const StatementNode& declarators) {
    if (!declarators || declarators->operands.empty() || !declarators->operands[0]) return {};
    auto* made = dynamic_cast<model::IRObject*>(declarators->operands[0]->owner());
    return made != nullptr ? made->type : qestl::SmartPtr();
}

}  // namespace

// The variable declaration `T a = x, b;` (a VariableDeclaration node).
uint32_t compileVariableDeclaration(CompileContext& context, const StatementNode& node) {
    // Outside function bodies the declaration pass met the declaration
    // first: one it refused was reported there, and is not refused twice.
    const uint32_t where = context.lookup().scopes().declarationMode();
    if ((where == kDeclareGlobal || where == kDeclareMember) && (node->flags & NodeFlag::Declared) == 0) return 0;
    Declaration declaration;
    declaration.node = node;
    declaration.isStatic = (node->flags & NodeFlag::Static) != 0;
    declaration.isConst = (node->flags & NodeFlag::Const) != 0;
    const bool typed = node->operands.size() == 2;
    const StatementNode typeNode = typed ? node->operands[0] : StatementNode();
    const StatementNode declarators = node->operands.empty() ? StatementNode() : node->operands.back();

    // Static initialisers run at program start.
    CodeListGuard list;
    if (declaration.isStatic) context.emitter().switchCodeList(false, &list);
    std::optional<ScopeModeGuard> mode;
    if (context.lookup().scopes().declarationMode() == kDeclareMember) {
        context.pushScopeMode(declaration.isStatic);
        mode.emplace(context);
    }
    std::optional<NameLookup::ExpectedType> receiver;
    if (typeNode && typeNode->text.view() == "var") {
        declaration.automatic = true;
        declaration.type = context.builtins().anyType;
    } else {
        declaration.type = typeSettledBefore(declarators);
        if (!declaration.type) declaration.type = declarations::resolveDeclaredType(context, typeNode, node);
        if (!declaration.type) return 0;
        // Names in the initialisers are looked up in the declared type first.
        receiver.emplace(context.lookup(), declaration.type);
    }
    FlagGuard flag = context.lookup().pushFlag(1);

    if (!declarators) return 0;
    for (const StatementNode& declarator : declarators->operands) {
        if (!declarator) continue;
        if (!compileDeclarator(context, declaration, declarator)) return 0;
    }
    context.lookup().clearResults();
    context.lookup().nearMisses().clear();
    return 0;
}
