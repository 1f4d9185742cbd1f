#include "model/array_object.h"

#include "model/builtin_types.h"

namespace model {

ArrayObject::ArrayObject(const qestl::SmartPtr& elementType, const qestl::SmartPtr& lengthType)
    : ClassObject(qestl::SmartPtr()) {
    kind = kKindArray;
    type = elementType;
    qestl::qestringA shown = displayName();
    name = shown;
    auto* length = new IRObject("length", kKindVariable, lengthType, 0);
    qestl::SmartPtr held = adoptLive(length);
    length->setConst(true);
    // Readable wherever the array is: a program asks every array its length.
    length->modifiers |= kModPublic;
    length->ownerResult.setObject(qestl::SmartPtr(this));
    length->buildLinkName();
    if (dynamicProperties.indexesOf("length") == nullptr) addProperty("length", held, false);
    // Without element the link name stays as the base constructor left it.
    buildLinkName();
}

qestl::SmartPtr makeArray(const qestl::SmartPtr& element, const qestl::SmartPtr& lengthType) {
    return adoptLive(new ArrayObject(element, lengthType));
}

qestl::qestringA ArrayObject::displayName() const {
    IRObject* e = element();
    if (e == nullptr) return qestl::qestringA("array");
    qestl::qestringA text = e->displayName();
    text.append("[]");
    return text;
}

uint32_t ArrayObject::primitiveSize() const {
    IRObject* e = element();
    return e ? e->primitiveSize() : 0;
}

qestl::SmartPtr ArrayObject::selfRef(uint32_t& depth) {
    ++depth;
    IRObject* e = element();
    return e ? e->selfRef(depth) : qestl::SmartPtr();
}

qestl::SmartPtr ArrayObject::valueType() const {
    IRObject* e = element();
    return e ? qestl::SmartPtr(e->classRef()) : qestl::SmartPtr();
}

void ArrayObject::buildLinkName() {
    IRObject* e = element();
    if (e == nullptr) return;
    LinkNameText room;
    qestl::qestringA& text = room.text();
    text.append(e->linkName());
    text.append("[]");
    takeLinkName(text);
}

bool sameTypeRefs(IRObject* a, IRObject* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return a->sameType(b);
}

bool ArrayObject::sameType(const IRObject* other) {
    if (other == nullptr || !other->isArray() || other->kind != kKindArray) return false;
    auto* that = static_cast<const ArrayObject*>(other);
    return sameTypeRefs(asObject(valueType()), asObject(that->valueType()));
}

bool ArrayObject::canAssignTo(ModelContext* context, const qestl::SmartPtr& target, bool implicit) {
    IRObject* t = asObject(target);
    if (t == nullptr) return false;
    if (implicit &&
        (isBuiltin(t, Builtin::Any) || isBuiltin(t, Builtin::ObjectPtr) || isBuiltin(t, Builtin::ObjectRef)))
        return true;
    if (t->kind != kKindArray) return false;
    IRObject* e = asObject(valueType());
    IRObject* te = asObject(t->valueType());
    if (e == nullptr || te == nullptr) return e == te;
    if (e->isPodType() || te->isPodType() || isBuiltin(te, Builtin::Any)) return e == te;
    return e->canAssignTo(context, qestl::SmartPtr(te), implicit);
}

}  // namespace model
