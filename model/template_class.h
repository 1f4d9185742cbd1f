// The object of a template class: it is never written to the image; its
// instances are. Built-in templates carry an instance builder, source
// templates their declaration node.
#pragma once

#include "model/class_object.h"

namespace model {

class TemplateClassObject : public ClassObject {
public:
    explicit TemplateClassObject(const qestl::SmartPtr& classType) : ClassObject(classType) {
        kind = kKindTemplateClass;
    }

    uint64_t encodedSize() const override { return 0; }
    uint64_t assignAddress(ModelContext&, uint64_t position) override {
        notePlaced();
        codeAddress = position;
        return position;
    }
    bool resolveOperands(ModelContext&) override { return true; }
    uint64_t encode(ModelContext&, qestl::ByteWriter&, void*, uint64_t) override { return 0; }
    bool isTemplate() const override { return true; }

    // Name from the node's text, the node kept, its access bits taken over.
    void initFromNode(const NodeHandle& node);
    // The recursion guard of an expansion: false when it already holds value.
    bool setExpanding(bool value);

    uint8_t expanding = 0;
};

// A new registered template class named name.
qestl::SmartPtr makeTemplateClass(std::string_view name, const qestl::SmartPtr& classType);

// Links an instance to its built-in template: the template's id and link.
void bindTemplateInstance(IRObject& instance, const qestl::SmartPtr& templ);

}  // namespace model
