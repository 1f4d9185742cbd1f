// Entering a class compiled from source (or a template instance) into the
// context's tables: packages by link name, templates and instances in their
// global containers, every other class in the record list with its holder
// object, and the class name in the scope the declaration stands in.
#include "codegen/compile_context.h"
#include "model/builtin_types.h"

using model::IRObject;
using model::Operand;
using qestl::SmartPtr;

Operand CompileContext::registerClass(std::string_view name, const SmartPtr& klass, bool declareInScope,
                                      bool isStatic) {
    IRObject* object = model::asObject(klass);
    if (object == nullptr) return Operand();
    const std::string linkName(object->linkName().view());
    if (object->isPackage() && !packages.try_emplace(linkName, klass).second) {
        Operand taken;
        taken.kind = model::kErrorOperand;
        return taken;
    }
    Operand result;
    bool inGlobalObjects = false;
    if (object->isKind(model::kKindTemplateClass)) {
        result = globalTemplates.findOrCreate(linkName, klass);
    } else {
        if (object->isTemplateInstance() || object->hasBuiltinTemplate()) {
            globalObjects.findOrCreate(linkName, klass);
            inGlobalObjects = true;
        }
        object->sourceNode = object->declarationNode;
        object->owner = scopes.frame ? scopes.frame->owner : SmartPtr();
        codeList(kRecordList).pushBack(klass);
        model::Container& holders = *scopes.heaps[0];
        qestl::qestringA holderName;
        holderName.appendFormat("$class%d@%s", static_cast<int>(holders.members().size()),
                                std::string(name).c_str());
        SmartPtr holder =
            model::makeObject(holderName.view(), model::kKindClassHolder, model::builtinTypes().anyType, 0);
        holders.findOrCreate(holderName.view(), holder);
        object->operands[0].setObjectRef(holder, 0);
    }
    (void)isStatic;  // a class-valued member's placement follows the scope
    if (declareInScope && !inGlobalObjects) result = scopes.declareClass(name, klass);
    return result;
}
