// The container templates Vector, List, List.Iterator, Map and Map.Iterator:
// one builder makes a complete instance class from the template's catalogue
// row; a List or Map instance finds the iterator instance of its arguments
// among the globals, and every Map instance checks its key's operators.
#include <array>
#include <string>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "codegen/instructions.h"
#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/function_object.h"
#include "model/ir_object.h"
#include "model/template_class.h"

namespace builtins {
namespace {

using model::asObject;
using model::IRObject;

constexpr uint32_t kFirstContainerId = 40;
constexpr uint32_t kListId = 41;
constexpr uint32_t kMapId = 43;

// The rows of the five templates, by id - 40; set by every registry run.
std::array<const CatalogueClass*, 5>& containerRows() {
    static std::array<const CatalogueClass*, 5> rows{};
    return rows;
}

const CatalogueClass* containerRow(uint32_t id) {
    return id >= kFirstContainerId && id - kFirstContainerId < containerRows().size()
               ? containerRows()[id - kFirstContainerId]
               : nullptr;
}

// The candidates of the last lookup decide one operator: only the first one
// is examined, a second makes the choice ambiguous.
bool checkKeyOperator(CompileContext& context, const qestl::SmartPtr& keyType, model::Operand& out) {
    model::IRValueList taken;
    context.lookup().exchangeResults(taken);
    if (taken.size() == 0) {
        context.reportError(diag::CompareOperatorMissing, {});
        return false;
    }
    IRObject* method = taken[0].objectPtr();
    const model::BuiltinTypes& b = context.builtins();
    if (method == nullptr || !model::convertible(&context, asObject(b.boolType), method->returnType(), true)) {
        context.reportError(diag::CompareOperatorNotBool, {});
        return false;
    }
    // An operator declared without parameters has nothing to compare with.
    if (method->parameterCount() == 0 ||
        !model::convertible(&context, asObject(keyType), asObject(method->parameter(0))->type, true)) {
        context.reportError(diag::CompareOperatorParameters, {});
        return false;
    }
    out = taken[0].operand;
    if (taken.size() > 1) {
        context.reportError(diag::CompareOperatorAmbiguous, {});
        return false;
    }
    return true;
}

// The iterator instance of a List or Map instance's arguments: the key is the
// instance's link name with "/Iterator" behind the template part, which is
// the link name the iterator instance of those arguments carries.
qestl::SmartPtr iteratorInstance(model::ModelContext& modelContext, IRObject& container, const IRObject& templ,
                                 model::IRValueList& arguments, const model::NodeHandle& node) {
    const std::string iteratorName = std::string(templ.name.view()) + ".Iterator";
    IRObject* iteratorTemplate = asObject(builtinNames().find(iteratorName));
    if (iteratorTemplate == nullptr) return {};
    auto* context = dynamic_cast<CompileContext*>(&modelContext);
    std::string key(container.linkName().view());
    key.insert(templ.linkName().length(), "/Iterator");
    qestl::SmartPtr found;
    if (context != nullptr && context->lookupGlobal(key)) {
        model::IRValueList taken;
        context->lookup().exchangeResults(taken);
        found = taken[0].object;
    } else {
        found = iteratorTemplate->instantiate(modelContext, arguments, node);
        IRObject* made = asObject(found);
        if (made != nullptr && context != nullptr)
            context->registerClass(made->getName().view(), found, true, made->isStatic());
    }
    if (IRObject* iterator = asObject(found)) iterator->modifiers |= 64;
    return found;
}

}  // namespace

void setContainerTemplate(const CatalogueClass& row) {
    const auto at = static_cast<size_t>(row.builtinId) - kFirstContainerId;
    if (at < containerRows().size()) containerRows()[at] = &row;
}

qestl::SmartPtr templateArgumentType(const model::IRResult& argument) {
    IRObject* object = argument.objectPtr();
    if (object == nullptr) return {};
    return object->kind == model::kKindVariable ? object->type : argument.object;
}

qestl::SmartPtr instantiateContainer(IRObject& templ, model::ModelContext& context, model::IRValueList& arguments,
                                     const model::NodeHandle& node) {
    const CatalogueClass* row = containerRow(templ.builtinClassId);
    if (row == nullptr) return {};
    const std::vector<std::string_view> parameters = splitNames(row->typeParameters);
    if (arguments.size() < parameters.size()) return {};

    qestl::SmartPtr made = model::adoptLive(new model::ClassObject(context.builtins().classType));
    model::ClassObject& instance = *model::asClass(asObject(made));
    // The placeholders: the bound types, then the iterator instance.
    std::vector<qestl::SmartPtr> bound;
    for (size_t i = 0; i < parameters.size(); ++i) {
        bound.push_back(templateArgumentType(arguments[i]));
        instance.addTemplateArgument(parameters[i], bound.back());
    }
    for (const qestl::SmartPtr& type : bound) instance.templateArguments.pushBack(model::IRResult(type));
    model::bindTemplateInstance(instance, qestl::SmartPtr(&templ));
    if (templ.builtinClassId == kMapId) instance.editRare().instanceHook = resolveMapKeyOperators;
    instance.setName(templ.name.view());

    if (templ.builtinClassId == kListId || templ.builtinClassId == kMapId)
        bound.push_back(iteratorInstance(context, instance, templ, arguments, node));
    else bound.push_back(made);  // an iterator's own type; unused by Vector
    // A library can name an instance whose arguments are not types: its
    // members would name a type that is not there.
    for (const qestl::SmartPtr& type : bound)
        if (!type) return {};
    declareMembers(instance, context, catalogueMembers(*row), builtinNames(), bound);
    return made;
}

void resolveMapKeyOperators(IRObject& object, model::ModelContext& modelContext, model::IRResult& result,
                            const model::NodeHandle& node) {
    const model::ClassObject* instance = model::asClass(&object);
    const model::Container* arguments = instance != nullptr ? instance->templateArgumentTableIfMade() : nullptr;
    if (arguments == nullptr || arguments->members().empty()) return;
    const qestl::SmartPtr keyType = arguments->members()[0];
    const model::BuiltinTypes& b = modelContext.builtins();
    if (model::convertible(&modelContext, asObject(b.byteType), keyType, true) ||
        model::convertible(&modelContext, asObject(b.stringType), keyType, true)) {
        for (int i = 0; i < 4; ++i) result.appendInstructionRef(codegen::makePushIntImmediate(0));
        return;
    }
    auto* context = dynamic_cast<CompileContext*>(&modelContext);
    IRObject* key = asObject(keyType);
    if (context == nullptr || key == nullptr) return;
    model::IRValueList saved;
    context->lookup().exchangeResults(saved);
    for (const char* op : {">", "<", "==", "!="}) {
        key->resolveMember(*context, op, model::kLookupInstance, 0);
        model::Operand chosen;
        if (!checkKeyOperator(*context, keyType, chosen)) break;
        result.appendInstructionRef(codegen::makePushIntImmediate(static_cast<int32_t>(chosen.value)));
        context->lookup().clearResults();
        context->lookup().nearMisses().clear();
    }
    context->lookup().exchangeResults(saved);
    (void)node;
}

}  // namespace builtins
