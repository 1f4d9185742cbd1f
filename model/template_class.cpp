#include "model/template_class.h"

#include "model/ir_object.h"

namespace model {

void TemplateClassObject::initFromNode(const NodeHandle& node) {
    if (!node) return;
    name = qestl::qestringA(node->text.view());
    buildLinkName();
    declarationNode = node;
    modifiers |= node->flags & 0x70;
}

bool TemplateClassObject::setExpanding(bool value) {
    if (expanding == static_cast<uint8_t>(value)) return false;
    expanding = value ? 1 : 0;
    return true;
}

qestl::SmartPtr makeTemplateClass(std::string_view name, const qestl::SmartPtr& classType) {
    auto* made = new TemplateClassObject(classType);
    qestl::SmartPtr ref = adoptLive(made);
    made->setName(name);
    return ref;
}

void bindTemplateInstance(IRObject& instance, const qestl::SmartPtr& templ) {
    const IRObject* source = asObject(templ);
    if (source == nullptr) return;
    instance.editRare().builtinTemplate = templ;
    instance.builtinClassId = source->builtinClassId;
}

}  // namespace model
