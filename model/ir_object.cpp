#include "model/ir_object.h"

#include <cstring>
#include <iterator>
#include <utility>

#include "foundation/crc32.h"
#include "foundation/creation_serials.h"
#include "model/builtin_types.h"
#include "model/kept_objects.h"
#include "model/model_context.h"
#include "model/opcodes.h"

namespace model {
namespace {

// Identities this far above any count of objects come from crafted files:
// the serials do not move past them (they could wrap).
constexpr uint64_t kLargestReservedIdentity = uint64_t(1) << 48;

bool nameIs(const IRObject* object, const char* text) { return object && object->name.view() == text; }

}  // namespace

uint64_t serialMark() { return qestl::creationSerialMark(); }

void restartSerialsAt(uint64_t mark) { qestl::restartCreationSerialsAt(mark); }

IRObject::IRObject() : serial_(qestl::nextCreationSerial()) {}

IRObject::IRObject(std::string_view text, uint32_t code, const qestl::SmartPtr& declared, uint8_t modifierByte)
    : name(text), serial_(qestl::nextCreationSerial()) {
    kind = code;
    modifiers = static_cast<uint32_t>(modifierByte) << 4;
    type = declared;
    if (code == kKindVariable) opcode = kOpObjectRecord;
}

IRObject::~IRObject() = default;

void IRObject::setLibraryIdentity(uint64_t identity) {
    noteWrite();
    Rare& fields = editRare();
    fields.libraryIdentity = identity;
    fields.fromLibrary = true;
    // Objects made after the load get serials past every identity read, so
    // the program's own records never take a library's identity.
    if (identity < kLargestReservedIdentity && qestl::creationSerialMark() < identity)
        qestl::restartCreationSerialsAt(identity);
}

qestl::SmartPtr makeObject(std::string_view name, uint32_t kind, const qestl::SmartPtr& type, uint8_t modifiers) {
    auto* object = new IRObject(name, kind, type, modifiers);
    qestl::SmartPtr ref = adoptLive(object);
    if (name.empty() && kind == kKindVariable && modifiers == 0) object->linkNameDeferred = 1;
    else object->buildLinkName();
    return ref;
}

qestl::SmartPtr makeNamedObject(const qestl::qestringA& name, uint32_t kind, const qestl::SmartPtr& type,
                                uint8_t modifiers) {
    auto* object = new IRObject(std::string_view(), kind, type, modifiers);
    qestl::SmartPtr ref = adoptLive(object);
    object->name = name;
    object->buildLinkName();
    return ref;
}

void IRObject::detach() {
    if (kept) return;
    detachObjectRef(type);
    detachObjectRef(classField);
    if (constant.made()) constant.edit().releaseObject();
    if (rare_.made()) rare_.edit().lockOperand.releaseObject();
    if (rare_.made()) {
        detachObjectRef(rare_.edit().templateOrigin);
        detachObjectRef(rare_.edit().builtinTemplate);
    }
    if (qeAbstractNode* node = declarationNode.get()) {
        node->children.clear();
        node->operands.clear();
    }
    declarationNode.reset();
    if (rare_.made()) detachObjectRef(rare_.edit().thisObject);
    if (rare_.made()) rare_.edit().templateNode.reset();
}

bool IRObject::Rare::operator==(const Rare& other) const {
    return altName == other.altName && templateNode.get() == other.templateNode.get() &&
           templateOrigin.get() == other.templateOrigin.get() && builtinTemplate.get() == other.builtinTemplate.get() &&
           instanceBuilder == other.instanceBuilder && instanceHook == other.instanceHook &&
           std::memcmp(&lockOperand, &other.lockOperand, sizeof lockOperand) == 0 && lockMode == other.lockMode &&
           libraryNumber == other.libraryNumber && builtinRefKey == other.builtinRefKey &&
           memberLink == other.memberLink && thisObject.get() == other.thisObject.get() &&
           libraryIdentity == other.libraryIdentity && fromLibrary == other.fromLibrary;
}

uint32_t IRObject::signatureHash(uint32_t seed) const {
    const qestl::qestringA& text = linkName();
    return qestl::crc32Update(text.data(), text.length(), seed);
}

uint32_t IRObject::cachedHash() {
    if (hashCache == 0) {
        noteWrite();
        hashCache = signatureHash(0);
    }
    return hashCache;
}

void IRObject::setName(std::string_view text) {
    noteWrite();
    name.assign(text.data(), text.size());
    buildLinkName();
}

void IRObject::setAltName(std::string_view text) {
    editRare().altName.assign(text.data(), text.size());
    buildLinkName();
}

void IRObject::setType(const qestl::SmartPtr& newType) {
    noteWrite();
    type = newType;
    buildLinkName();
}

void IRObject::setOwner(const IRResult& descriptor) {
    noteWrite();
    // A class declared at the top has no owner: a million of them each made
    // a descriptor of 160 bytes that read as none.
    if (ownerResult.made() || !descriptor.isUnset()) ownerResult.set(descriptor);
    buildLinkName();
}

void IRObject::writeLinkName(qestl::qestringA& text) const {
    // A template instance is named by its template and arguments alone.
    const bool templated = isTemplateInstance() || hasBuiltinTemplate();
    if (!templated && (kind == kKindVariable || kind == kKindFunction)) {
        qestl::SmartPtr declared = kind == kKindVariable ? valueType() : returnType();
        if (IRObject* t = asObject(declared)) {
            text.append(t->linkName());
            text.append("@");
        }
    }
    if (!templated) {
        if (IRObject* holder = ownerObject()) text.append(holder->linkName());
        text.append("/");
        text.append(rare().altName.empty() ? name : rare().altName);
    } else {
        IRObject* origin = asObject(rare().templateOrigin ? rare().templateOrigin : rare().builtinTemplate);
        if (origin != nullptr) text.append(origin->linkName().c_str());
        text.append("<");
        for (size_t i = 0; i < templateArguments.size(); ++i) {
            if (i) text.append(",");
            if (IRObject* argument = templateArguments[i].objectPtr()) text.append(argument->linkName());
        }
        text.append(">");
    }
    if (isConst()) text.append("#C");
}

// The name as it was when the value was made, unnamed, without owner and
// not yet const: a change that remakes the name ends the deferral first.
void IRObject::buildDeferredLinkName() {
    qestl::qestringA text;
    if (IRObject* t = asObject(valueType())) {
        text.append(t->linkName());
        text.append("@");
    }
    text.append("/");
    takeLinkName(text);
}

void IRObject::buildLinkName() {
    LinkNameText room;
    qestl::qestringA& text = room.text();
    writeLinkName(text);
    takeLinkName(text);
}

qestl::qestringA IRObject::displayName() const {
    qestl::qestringA text = getName();
    if (isBuiltin(this, Builtin::Any)) return qestl::qestringA("Object");
    if (kind == kKindFunction && (flagsA & kFlagOperator)) {
        qestl::qestringA shown("operator");
        size_t length = text.length();
        if (length > 0 && text[length - 1] == 'b') --length;
        shown.append(text.data(), length);
        text = shown;
    } else if (kind == kKindClass && madeOfTemplate()) {
        IRObject* origin = asObject(rare().templateOrigin ? rare().templateOrigin : rare().builtinTemplate);
        text = origin ? origin->displayName() : qestl::qestringA();
        text.append("<");
        for (size_t i = 0; i < templateArguments.size(); ++i) {
            if (i) text.append(",");
            if (IRObject* argument = templateArguments[i].objectPtr()) text.append(argument->displayName());
        }
        text.append(">");
    }
    if (text.view() == "*") return qestl::qestringA("Object");
    return text;
}

bool IRObject::isArray() const {
    if (kind != kKindVariable) return false;
    IRObject* t = asObject(valueType());
    return t != nullptr && t->isArray();
}

bool IRObject::isPodType() const {
    if (kind != kKindVariable) return false;
    IRObject* t = asObject(type);
    return t != nullptr && t->isPodType();
}

uint32_t IRObject::primitiveSize() const {
    const IRObject* t = asObject(type);
    if (nameIs(t, "byte") || nameIs(t, "bool")) return 1;
    if (nameIs(t, "char") || nameIs(t, "short")) return 2;
    if (nameIs(t, "int") || nameIs(t, "float")) return 4;
    if (nameIs(t, "long") || nameIs(t, "double")) return 8;
    return 0;
}

qestl::SmartPtr IRObject::typeOfType() const {
    if (kind != kKindVariable) return {};
    IRObject* t = asObject(type);
    return t ? t->valueType() : qestl::SmartPtr();
}

qestl::SmartPtr IRObject::valueType() const {
    if (kind != kKindVariable && kind != kKindFunction) return {};
    IRObject* t = asObject(type);
    return t ? qestl::SmartPtr(t->classRef()) : qestl::SmartPtr();
}

bool IRObject::isNumeric() const {
    if (kind == kKindClass) return numericRank >= 1;
    if (kind == kKindArray) return false;
    IRObject* t = asObject(valueType());
    return t != nullptr && t->numericRank > 0;
}

bool IRObject::isString() const {
    if (kind == kKindClass) return isBuiltin(this, Builtin::String);
    if (kind == kKindArray) return false;
    return isBuiltin(asObject(valueType()), Builtin::String);
}

bool IRObject::isBool() const {
    if (kind == kKindClass) return isBuiltin(this, Builtin::Bool);
    if (kind == kKindArray) return false;
    return isBuiltin(asObject(valueType()), Builtin::Bool);
}

Operand IRObject::makeObjectOperand() {
    Operand operand;
    operand.setObjectRef(selfRef(), 0);
    return operand;
}

bool IRObject::isAbstractMethod() const {
    return (kind == kKindFunction || kind == kKindOperator) && (flagsA & kFlagAbstract) != 0;
}

bool IRObject::isInterface() const {
    if (kind == kKindClass && declarationNode) return (declarationNode.flags() & kModInterface) != 0;
    return (modifiers & kModInterface) != 0;
}

bool IRObject::sameType(const IRObject* other) {
    if (other == nullptr) return false;
    return classRef() == const_cast<IRObject*>(other)->classRef();
}

qestl::SmartPtr IRObject::selfRef(uint32_t&) { return selfRef(); }

bool IRObject::encloses(const IRObject* other) const {
    auto* self = const_cast<IRObject*>(this);
    for (IRObject* holder = other ? other->ownerObject() : nullptr; holder != nullptr; holder = holder->ownerObject())
        if (self->sameType(holder)) return true;
    return false;
}

bool IRObject::isStaticContext() const {
    if (isStatic()) return true;
    IRObject* holder = ownerObject();
    return holder == nullptr || holder->isInstance() || holder->isPackage();
}

void IRObject::changeModifiers(uint32_t setMask, uint32_t clearMask) {
    noteWrite();
    if (setMask) modifiers |= setMask;
    if (clearMask) modifiers &= ~clearMask;
}

void IRObject::inheritValueState(IRObject& other) {
    noteWrite();
    if (sameType(&other)) return;
    uint32_t bits = other.modifiers & kStateMask;
    if (bits == 0) bits = kStateUndetermined;
    if (bits & kStateUndetermined) bits &= ~kStateOther;
    modifiers = (modifiers & ~kStateMask) | bits;
}

qestl::SmartPtr IRObject::instantiate(ModelContext& context, IRValueList& arguments, const NodeHandle& node) {
    return rare().instanceBuilder ? rare().instanceBuilder(*this, context, arguments, node) : qestl::SmartPtr();
}

void IRObject::runInstanceHook(ModelContext& context, IRResult& result, const NodeHandle& node) {
    if (rare().instanceHook) rare().instanceHook(*this, context, result, node);
}

namespace {

// The data type of a value of type t; Method and Field only when asked.
// The built-in types are plain classes (makeClass), each its own class
// reference; an array type is its own too, and no built-in.
uint8_t codeOfType(IRObject* t, bool methodsAndFields) {
    IRObject* own = t->classRef();
    if (own == nullptr) return kTypeObject;
    switch (own->builtinTag()) {
    case Builtin::Byte: return kTypeByte;
    case Builtin::Bool: return kTypeBool;
    case Builtin::Char: return kTypeChar;
    case Builtin::Short: return kTypeShort;
    case Builtin::Long: return kTypeLong;
    case Builtin::Int: return kTypeInt;
    case Builtin::Float: return kTypeFloat;
    case Builtin::Double: return kTypeDouble;
    case Builtin::String: return kTypeString;
    case Builtin::Method: return methodsAndFields ? kTypeMethod : kTypeObject;
    case Builtin::Field: return methodsAndFields ? kTypeField : kTypeObject;
    default: return kTypeObject;
    }
}

}  // namespace

uint8_t typeCodeOf(const IRObject* object) {
    if (object == nullptr) return 0;
    IRObject* t = asObject(object->isFunction() ? object->returnType() : object->valueType());
    return t ? codeOfType(t, false) : 0;
}

uint8_t dataTypeOfType(IRObject* type) { return type ? codeOfType(type, false) : static_cast<uint8_t>(kTypeObject); }

void setDataTypeFromValue(Operand& operand, const IRObject* object) {
    IRObject* t = object ? asObject(object->valueType()) : nullptr;
    operand.dataType = t ? codeOfType(t, true) : 0u;
}

qestl::SmartPtr widerNumericType(const qestl::SmartPtr& left, const qestl::SmartPtr& right,
                                 const qestl::SmartPtr& intType) {
    IRObject* l = asObject(left);
    IRObject* r = asObject(right);
    if (l && r && l->isEnum() && r->isEnum()) return intType;
    const qestl::SmartPtr& wider = (l && r && l->numericRank > r->numericRank) ? left : right;
    IRObject* w = asObject(wider);
    IRObject* i = asObject(intType);
    if (w && i && w->numericRank < i->numericRank) return intType;
    return wider;
}

}  // namespace model

namespace model {

uint8_t podTypeCode(IRObject* type, bool array) {
    if (type == nullptr) return 255;
    if (array) return podTypeCode(type, false) | 0xF0;
    if (isBuiltin(type, Builtin::Void)) return 15;
    if (type->typeCode >= 1 && type->typeCode <= 9) return type->typeCode;
    const bool builtin = type->id() != 0 || type->builtinRefKey() != 0 || (type->flagsB & kFlagByBuiltinId);
    if (isBuiltin(type, Builtin::Any) || !builtin) return 0;
    return 255;
}

}  // namespace model
