// Enum items (static constants of the enclosing class, numbered or given a
// constant value) and `new T[] {...}`, an array initialiser compiled against
// a named array type.
#include "codegen/compile_utilities.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "model/builtin_types.h"
#include "model/declaration_views.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"
#include "statements/declarations.h"

namespace {

qestl::SmartPtr itemObject(const qestl::SmartPtr& scope, const StatementNode& item, bool& madeBefore) {
    auto* made = dynamic_cast<model::IRObject*>(item->owner());
    madeBefore = made != nullptr;
    qestl::SmartPtr object = made != nullptr ? qestl::SmartPtr(made)
                                             : model::makeObject(item->text.view(), model::kKindVariable, scope, 0);
    model::IRObject* o = model::asObject(object);
    if (o == nullptr) return {};
    if (!madeBefore) {
        o->setDeclarationNode(item);
        o->setOwner(model::IRResult(scope));
        model::bindObjectToNode(item, o);
    }
    o->setConst(true);
    o->setStatic(true);
    return object;
}

bool isItemValueType(model::IRObject* type, model::IRObject* scope) {
    return model::isBuiltin(type, model::Builtin::Byte) || model::isBuiltin(type, model::Builtin::Char) ||
           model::isBuiltin(type, model::Builtin::Short) || model::isBuiltin(type, model::Builtin::Int) ||
           model::isBuiltin(type, model::Builtin::Long) || (type != nullptr && type == scope);
}

// An item's initialiser: a constant of an integral type or of the class.
bool storeItemValue(CompileContext& context, const qestl::SmartPtr& scope, model::IRObject& object,
                    const StatementNode& item) {
    const StatementNode initialiser = item->operands[0];
    model::IRValueList found;
    if (!declarations::compileInitialiser(context, initialiser, found)) return false;
    model::IRResult* chosen = declarations::firstAssignable(context, found, context.builtins().intType);
    if (chosen == nullptr) chosen = declarations::firstAssignable(context, found, scope);
    model::IRObject* value = chosen != nullptr ? chosen->objectPtr() : nullptr;
    const bool typeFits = chosen != nullptr && isItemValueType(declarations::valueTypeOf(*chosen), model::asObject(scope));
    if (!typeFits || !value->isConst() || !value->hasConstantValue()) {
        declarations::reportMismatch(context, typeFits ? diag::ConstantValueNeeded : diag::CannotAssignTypes,
                                     model::asObject(context.builtins().intType), found, initialiser);
        return false;
    }
    const model::Operand constant = value->constantValue();
    object.setValueRecord(constant);
    context.emitter().flushResult(*chosen);
    declarations::emitStore(context, moveOpcodeForType(model::asObject(scope)), object.makeObjectOperand(), constant,
                            item);
    chosen->checkUse(&context, initialiser);
    return true;
}

bool compileItem(CompileContext& context, const qestl::SmartPtr& scope, const StatementNode& item) {
    declarations::warnTypeName(context, item);
    bool madeBefore = false;
    const qestl::SmartPtr object = itemObject(scope, item, madeBefore);
    if (!object) {
        context.reportError(diag::OutOfMemory, item);
        return false;
    }
    const model::Operand storage = declarations::declareStorage(context, object, true, madeBefore);
    if (storage.kind == model::kErrorOperand) {
        // The declaration pass reports the same duplicate at the same item.
        context.reportErrorOnce(diag::DuplicateObject, item);
        return false;
    }
    model::IRObject& o = *model::asObject(object);
    if (item->operands.size() == 1) return storeItemValue(context, scope, o, item);
    declarations::emitStore(context, model::kOpMov, o.makeObjectOperand(), storage, item);
    return true;
}

}  // namespace

// The enum constant (an EnumItem node).
uint32_t compileConstantDeclaration(CompileContext& context, const StatementNode& node) {
    CodeListGuard list;
    context.emitter().switchCodeList(false, &list);
    const qestl::SmartPtr scope = context.currentScopeObject();
    if (!scope) {
        context.reportError(diag::InternalError, node);
        return 0;
    }
    context.pushScopeMode(true);
    ScopeModeGuard mode(context);
    for (const StatementNode& item : node->operands) {
        if (item && !compileItem(context, scope, item)) return 0;
    }
    context.lookup().clearResults();
    context.lookup().nearMisses().clear();
    return 0;
}

// The array `new T[] {...}` with its initialiser (a NewArrayWithInitializer node).
uint32_t compileTypedDeclaration(CompileContext& context, const StatementNode& node) {
    const StatementNode typeNode = model::IRCore::operandOf(node, 0);
    const qestl::SmartPtr type = declarations::resolveDeclaredType(context, typeNode, node);
    if (!type) return 0;
    {
        FlagGuard flag = context.lookup().pushFlag(1);
        NameLookup::ExpectedType receiver(context.lookup(), type);
        compileStatement(context, model::IRCore::operandOf(node, 1), false);
    }
    if (context.diagnostics().hasErrors()) return 0;
    if (context.lookup().candidates().empty()) {
        context.reportError(diag::NoInitialValue, node);
        return 0;
    }
    model::IRResult* chosen = declarations::firstAssignable(context, context.lookup().resultsInPlace(), type);
    if (chosen == nullptr) {
        qestl::qestringA listing;
        describeTypeCandidates(context.lookup().candidates(), listing);
        context.reportError(diag::NoAssignableValue, node, listing);
        return 0;
    }
    const model::IRResult value = *chosen;
    context.lookup().clearResults();
    context.lookup().nearMisses().clear();
    context.lookup().addResult(value);
    return 0;
}
