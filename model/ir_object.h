// The compiled object: every named entity of a program (variable, function,
// class, instance, array type, native import) is one, and is at the same time
// a record of the program image. A class's holder is not (model/class_holder.h).
#pragma once

#include <cstdint>
#include <string_view>

#include "foundation/look_ahead.h"
#include "foundation/qestring.h"
#include "foundation/rare_fields.h"
#include "foundation/text_map.h"
#include "model/builtin_types.h"
#include "model/declaration_place.h"
#include "model/ir_result.h"

namespace model {

class LibraryWriter;
class LibraryReader;
class KeptObjects;

enum ObjectKind : uint32_t {
    kKindVariable = 18,
    kKindFunction = 23,
    kKindOperator = 25,
    kKindTemplateFunction = 26,
    kKindClass = 31,
    kKindTemplateClass = 34,
    kKindInstance = 35,
    kKindArray = 52,
    kKindClassHolder = 85,  // the image's tag of a class holder's entry (ClassHolder)
};

enum FlagA : uint8_t {
    kFlagUsed = 1,
    kFlagOperator = 2,
    kFlagAbstract = 4,
    kFlagListed = 8,
    kFlagWrittenToLibraries = 16,
    kFlagStatic = 32,
    kFlagOverride = 64,
    kFlagDeclarationPending = 128,  // declaration still incomplete
};
enum FlagB : uint8_t {
    kFlagConst = 1,
    kFlagHasConstant = 2,
    kFlagAssigned = 4,
    kFlagNative = 8,
    kFlagByBuiltinId = 16,
    kFlagHidden = 32,
    kFlagNamedConstant = 64,
    kFlagValueRecord = 128,
};
enum FlagC : uint8_t {
    kFlagUnassigned = 1,
    kFlagParameter = 2,
    kFlagUnusedWarned = 4,  // warning 324 given for the object
    // The top five bits: the object's Builtin tag.
    kBuiltinTagShift = 3,
};
enum Modifier : uint32_t {
    kModNotNil = 1u << 4,
    kModAccessMask = 0x60,
    kModPublic = 0x40,
    kModMayNil = 1u << 10,
    kModPackage = 1u << 28,
    kModInterface = 1u << 29,
    kModEnum = 1u << 30,
};
// Lookup flags of member resolution.
enum LookupFlags : uint32_t { kLookupStatic = 1, kLookupInstance = 2, kLookupNoEnclosing = 4 };
enum LockMode : uint32_t { kLockNone = 0, kLockPlain = 66, kLockRead = 67, kLockWrite = 68 };

class IRObject;
class ClassObject;

// Where a member lives, as the container holding it gave out its slot: an
// index under the container's operand kind with the member's data type, or
// a reference to the member itself. Every variable, parameter, method and
// class is an object, and a whole operand kept for this took 48 bytes of
// each where 8 hold it.
struct MemberSlot {
    uint32_t index = 0;
    uint8_t kind = kOperandNone;
    uint8_t dataType = 0;
    uint8_t toItself = 0;
    uint8_t unused = 0;
    bool operator==(const MemberSlot&) const = default;
    // The operand of the slot; `member` is the object a reference names.
    Operand operand(IRObject* member) const;
};

using InstanceBuilder = qestl::SmartPtr (*)(IRObject& templ, ModelContext& context, IRValueList& arguments,
                                            const NodeHandle& node);
// Runs where a base constructor of an instance is called; appends code to result.
using InstanceHook = void (*)(IRObject& object, ModelContext& context, IRResult& result, const NodeHandle& node);

class IRObject : public cbircode {
public:
    IRObject();
    IRObject(std::string_view name, uint32_t kind, const qestl::SmartPtr& type, uint8_t modifiers);
    ~IRObject() override;

    void detach() override;
    uint32_t writeTypeOperand(qestl::ByteWriter& out, uint64_t base, uint8_t flags, bool useValueType) override;

    virtual uint32_t signatureHash(uint32_t seed) const;
    virtual bool canAssignTo(ModelContext* context, const qestl::SmartPtr& target, bool implicit);
    virtual bool isConstructor() const { return false; }
    bool isEnum() const { return (modifiers & kModEnum) != 0; }
    void setName(std::string_view text);
    void setAltName(std::string_view text);
    virtual void setType(const qestl::SmartPtr& newType);
    virtual const qestl::qestringA& getName() const { return name; }
    virtual qestl::qestringA displayName() const;
    virtual bool isDerivedFrom(const IRObject*) const { return false; }
    // Adds the intrinsic functions a member name stands for on this object
    // to the context's candidates; true when it added any.
    virtual bool bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t mode);
    // Appends the candidates of a member name found in this class and its
    // bases (classes answer); false for "super" without base.
    virtual bool resolveMember(ModelContext&, const qestl::HashedText&, uint32_t, uint32_t) { return false; }
    // Whether this object encloses the other: some owner up the other's
    // owner chain is the same type as this.
    bool encloses(const IRObject* other) const;
    // The kind a caller sees (an instance answers with its class's kind).
    virtual uint32_t kindOf() const { return kind; }
    void checkUse(ModelContext* context, const NodeHandle& node);
    bool isAccessibleAt(uint32_t level) const { return (modifiers & kModAccessMask) >= level; }
    // Asked of every type an assignment compares: most objects have no rare
    // fields, and that answers.
    bool isTemplateInstance() const { return kind == kKindClass && rare_.made() && rare_.get().templateOrigin; }
    bool hasBuiltinTemplate() const { return kind == kKindClass && rare_.made() && rare_.get().builtinTemplate; }
    // Made of a template, of the source or a built-in one, whatever its kind.
    bool madeOfTemplate() const { return rare_.made() && (rare_.get().templateOrigin || rare_.get().builtinTemplate); }
    virtual bool isArray() const;
    virtual uint64_t parameterCount() const { return 0; }
    virtual uint64_t throwsCount() const { return 0; }
    virtual qestl::SmartPtr returnType() const { return {}; }
    virtual qestl::SmartPtr parameter(uint64_t) const { return {}; }
    bool isNamedConstant() const { return (flagsB & kFlagNamedConstant) != 0; }
    bool isParameter() const { return (flagsC & kFlagParameter) != 0; }
    Builtin builtinTag() const { return static_cast<Builtin>(flagsC >> kBuiltinTagShift); }
    void setBuiltinTag(Builtin tag) {
        flagsC = static_cast<uint8_t>((flagsC & ((1u << kBuiltinTagShift) - 1)) |
                                      (static_cast<unsigned>(tag) << kBuiltinTagShift));
    }
    virtual int32_t sameSignature(const IRObject&) const { return 0; }
    virtual bool isPodType() const;
    virtual uint32_t primitiveSize() const;
    virtual qestl::SmartPtr typeOfType() const;
    // Asked as kindOf: an instance is of its class's kind.
    bool isKind(uint32_t code) const { return kindOf() == code; }
    bool isNumeric() const;
    bool isString() const;
    bool isBool() const;
    virtual qestl::SmartPtr selfRef() { return qestl::SmartPtr(this); }
    // The innermost element type; arrays add their dimensions to depth.
    virtual qestl::SmartPtr selfRef(uint32_t& depth);
    Operand makeObjectOperand();
    // The slot a container gave the member, as the operand it gave.
    Operand slotOperand() { return storage.operand(this); }
    bool hasSlot() const { return storage.kind != kOperandNone; }
    // A lent built-in entered again where it lived is not written.
    void keepSlot(const MemberSlot& slot) {
        if (slot == storage) return;
        noteWrite();
        storage = slot;
    }
    virtual qestl::SmartPtr valueType() const;
    virtual bool isInstance() const { return false; }
    virtual IRObject* classRef() { return this; }
    // This object as a class, or null: asked on every member lookup and base
    // walk, where a dynamic cast cost a hundred instructions.
    virtual ClassObject* asClassObject() { return nullptr; }
    // Read in place for an owner alone (nearly every member's); inline
    // below, asked at every member lookup and of every member one binds.
    inline IRObject* ownerObject() const;
    virtual void buildLinkName();
    // A link name known before the object was made, read in place: a text
    // that lives as long as the process with two 0 bytes behind it.
    void takeStaticLinkName(std::string_view text) {
        noteWrite();
        linkNameDeferred = 0;
        linkName_ = qestl::qestringA::ofStaticText(text.data(), text.size());
    }
    // The link name is one given so and not built since: its object's name,
    // type, owner and flags stayed (see takeKnownLinkName).
    bool linkNameGiven() const { return linkName_.isStaticText(); }
    const qestl::qestringA& linkName() const {
        if (linkNameDeferred) const_cast<IRObject*>(this)->buildDeferredLinkName();
        return linkName_;
    }
    // Loads ahead what reading the link name touches of the object, then,
    // once that is in, the bytes of a link name already built (a class of a
    // million members hashing its signature: bench/hostile_shapes.py
    // static_fields).
    void prefetchLinkNameHolder() const {
        qestl::touch(this);
        qestl::touch(&linkNameDeferred);
        qestl::touch(&linkName_);
    }
    void prefetchLinkName() const {
        if (!linkNameDeferred) qestl::touch(linkName_.data());
    }
    void setStatic(bool on) { setFlag(flagsA, kFlagStatic, on); }
    bool isStatic() const { return (flagsA & kFlagStatic) != 0; }
    bool isAbstractMethod() const;
    bool isPackage() const { return (modifiers & kModPackage) != 0; }
    bool isNotNilptr() const { return (modifiers & kModNotNil) != 0; }
    uint32_t accessLevel() const { return modifiers & kModAccessMask; }
    bool isInterface() const;
    bool isConst() const { return (flagsB & kFlagConst) != 0; }
    // The link name keeps its "#C" state until something rebuilds it.
    virtual void setConst(bool on) { setFlag(flagsB, kFlagConst, on); }
    bool isFinal() const { return isConst(); }
    void setFinal(bool on) { setConst(on); }
    void setConstantValue(const Operand& value, bool constant);
    void setValueRecord(const Operand& value);
    bool hasValueRecord() const { return (flagsB & kFlagValueRecord) != 0; }
    bool isOverride() const { return (flagsA & kFlagOverride) != 0; }
    virtual void setOverride(bool on) { setFlag(flagsA, kFlagOverride, on); }
    bool hasConstantValue() const { return (flagsB & kFlagHasConstant) != 0; }
    Operand constantValue() const { return constant.get(); }
    Operand lockInstruction(ModelContext& context, uint32_t mode, const NodeHandle& node);
    virtual void setNative(bool on) { setFlag(flagsB, kFlagNative, on); }
    virtual bool isNative() const { return (flagsB & kFlagNative) != 0; }
    qestl::SmartPtr instantiate(ModelContext& context, IRValueList& arguments, const NodeHandle& node);
    void runInstanceHook(ModelContext& context, IRResult& result, const NodeHandle& node);
    uint32_t id() const { return builtinClassId; }
    int32_t builtinRefKey() const { return rare_.made() ? rare_.get().builtinRefKey : 0; }
    void setId(uint32_t value) {
        noteWrite();
        builtinClassId = value;
    }
    bool assignOperatorAllowed(ModelContext* context, uint32_t operatorCode, const qestl::SmartPtr& right);
    virtual bool sameType(const IRObject* other);
    bool isStaticContext() const;
    virtual bool writeToLibrary(LibraryWriter& out);
    virtual bool readFromLibrary(uint32_t recordKind, LibraryReader& in);
    virtual bool isTemplate() const { return false; }

    // Free helpers.
    void setOwner(const IRResult& ownerDescriptor);
    void inheritValueState(IRObject& other);
    void changeModifiers(uint32_t setMask, uint32_t clearMask);
    void assignType(const qestl::SmartPtr& newType) {
        noteWrite();
        type = newType;
    }
    // The signature hash with seed 0, computed once.
    uint32_t cachedHash();
    uint64_t serial() const { return serial_; }
    // An object read from a link library keeps the identity it had there,
    // so that a library written again names it as its first writer did.
    uint64_t identity() const { return rare().fromLibrary ? rare().libraryIdentity : serial_; }
    void setLibraryIdentity(uint64_t identity);
    // The unnamed variable typed by this class that stands for `this`,
    // made on first use: a class keeps it in a field of its own, any other
    // object with its rare fields.
    qestl::SmartPtr getThisObject();
    // The link of a built-in's static field or a member read from a
    // library; 0 for the rest.
    uint64_t memberLink() const { return rare_.made() ? rare_.get().memberLink : 0; }
    // The flag operations the declaration compilers share.
    void setEnum(bool on) {
        noteWrite();
        modifiers = on ? (modifiers | kModEnum) : (modifiers & ~kModEnum);
    }
    bool hasModifiers(uint32_t mask) const { return (modifiers & mask) == mask; }
    // While a class body is declared its object is marked as pending.
    void setDeclared(bool declared) { setFlag(flagsA, kFlagDeclarationPending, !declared); }
    // Keeps the node and takes its access bits (0x70) into the modifiers.
    void setDeclarationNode(NodeHandle node) {
        noteWrite();
        if (node) modifiers |= node->flags & 0x70;
        declarationNode = std::move(node);
    }

    // What few objects set: template instances and their builders, locks,
    // objects read from link libraries. Read through rare(); written
    // through editRare(), which notes the write.
    struct Rare {
        qestl::qestringA altName;
        NodeHandle templateNode;
        // The template an instance was made of: one of the source, or a
        // built-in one.
        qestl::SmartPtr templateOrigin;
        qestl::SmartPtr builtinTemplate;
        InstanceBuilder instanceBuilder = nullptr;
        InstanceHook instanceHook = nullptr;
        Operand lockOperand;
        uint32_t lockMode = kLockNone;
        // The position of the library it was read from in the -link list.
        uint32_t libraryNumber = 0;
        // The reserved key of a built-in without id (void 0, nil -1,
        // ObjectPtr -2, ObjectRef -5, "..." -6): a handful of types.
        int32_t builtinRefKey = 0;
        uint64_t memberLink = 0;
        qestl::SmartPtr thisObject;
        uint64_t libraryIdentity = 0;
        bool fromLibrary = false;
        bool operator==(const Rare& other) const;
    };
    const Rare& rare() const { return rare_.get(); }
    Rare& editRare() {
        noteWrite();
        return rare_.edit();
    }

    // The narrow fields go in pairs and fours: a program has an object for
    // every variable, parameter, method and class, each of these words
    // more than once.
    uint32_t builtinClassId = 0;
    uint32_t kind = 0;
    qestl::qestringA name;
    qestl::SmartPtr type;
    // Members have an owner; variables and parameters (most objects) none.
    OwnerDescriptor ownerResult;
    qestl::SmartPtr classField;
    uint8_t flagsA = kFlagListed;
    uint8_t flagsB = kFlagAssigned;
    uint8_t flagsC = 0;
    int8_t numericRank = 0;
    uint32_t modifiers = 0;
    uint32_t hashCache = 0;
    // Four bytes beside the hash: the object takes a word less (a program
    // of a million classes has three objects a class).
    uint8_t typeCode = 0;
    uint8_t constantComputed = 0;
    uint8_t templateParameterCount = 0;
    // An unnamed value's link name is made when first read: most are never
    // asked, and it was a tenth of the cost of an expression.
    uint8_t linkNameDeferred = 0;
    uint64_t lookupStamp = 0;
    DeclarationPlace declarationNode;
    TemplateArguments templateArguments;
    // Most objects are no constant: the value takes a pointer until one is
    // set.
    qestl::RareFields<Operand> constant;
    MemberSlot storage;

protected:
    friend class KeptObjects;
    // Where a class keeps its `this` object; null: with the rare fields.
    virtual qestl::SmartPtr* thisField() { return nullptr; }
    void setFlag(uint8_t& byte, uint8_t bit, bool on) {
        noteWrite();
        byte = on ? (byte | bit) : (byte & ~bit);
    }
    // Link names are remade at every change of name, type, owner or
    // parameter: each is written into room on the stack (no allocation per
    // piece; a name longer than the room moves to the heap), then copied
    // into linkName_ once.
    class LinkNameText {
    public:
        LinkNameText() : text_(qestl::qestringA::EmptyIn{room_, sizeof room_}) { room_[0] = 0; }
        LinkNameText(const LinkNameText&) = delete;
        LinkNameText& operator=(const LinkNameText&) = delete;
        qestl::qestringA& text() { return text_; }

    private:
        char room_[256];
        qestl::qestringA text_;
    };
    // The name, type, owner and template part, into the empty text.
    void writeLinkName(qestl::qestringA& text) const;
    // Without the owner: the name as it was when the value was made.
    void buildDeferredLinkName();
    void takeLinkName(const qestl::qestringA& text) {
        noteWrite();
        linkNameDeferred = 0;
        linkName_.assign(text.data(), text.length());
    }
    qestl::qestringA linkName_;

private:
    // checkUse's checks past marking the object used, out of line: nearly
    // every use is of an assigned object with no owner to check, and that
    // one asks nothing else.
    void checkUseFurther(ModelContext* context, const NodeHandle& node, bool assigned);
    uint64_t serial_;
    qestl::RareFields<Rare> rare_;
};

inline IRObject* asObject(const qestl::SmartPtr& ref) { return ref.as<IRObject>(); }

// True when object is the built-in of that tag.
inline bool isBuiltin(const IRObject* object, Builtin tag) { return object != nullptr && object->builtinTag() == tag; }

inline IRObject* IRResult::objectPtr() const { return asObject(object); }

inline void IRResult::prependOwnerCode() {
    IRObject* holder = objectPtr();
    if (holder != nullptr && holder->ownerResult.hasPendingCode()) prependCodeOfOwner(*holder);
}

inline IRObject* OwnerDescriptor::objectPtr() const {
    if (const IRResult* result = whole()) return asObject(result->object);
    return static_cast<IRObject*>(heldObject());
}

inline IRObject* IRObject::ownerObject() const { return ownerResult.objectPtr(); }

inline Operand MemberSlot::operand(IRObject* member) const {
    Operand slot(index, kind, dataType);
    if (toItself != 0) slot.target = qestl::SmartPtr(member);
    return slot;
}

// Makes a registered object (a variable or constant for kind 18) and builds
// its link name.
qestl::SmartPtr makeObject(std::string_view name, uint32_t kind, const qestl::SmartPtr& type, uint8_t modifiers);
// The same, the name given as a string: a name on a static text is shared,
// not copied (the built-in catalogue names some thousands of members).
qestl::SmartPtr makeNamedObject(const qestl::qestringA& name, uint32_t kind, const qestl::SmartPtr& type,
                                uint8_t modifiers);

// The data type of an object's static type: byte 1, char 2, short 3, int 4,
// long 5, float 6, double 7, bool 8, String 9, any other 11; 0 without one.
uint8_t typeCodeOf(const IRObject* object);
// An operand typed like a type: the type's own code (a class compared
// itself), 11 without one.
uint8_t dataTypeOfType(IRObject* type);
// The same for an operand: adds Method 16 and Field 17.
void setDataTypeFromValue(Operand& operand, const IRObject* object);
// May a value of type `from` be stored where `to` is expected? (The value's
// type is the receiver of canAssignTo.)
bool convertible(ModelContext* context, IRObject* from, const qestl::SmartPtr& to, bool implicit);
// The wider of two numeric types (ties go right), at least int.
qestl::SmartPtr widerNumericType(const qestl::SmartPtr& left, const qestl::SmartPtr& right,
                                 const qestl::SmartPtr& intType);

}  // namespace model

namespace model {
// The value code of a type in remote-call descriptions: no type 255, an
// array element's code | 0xF0, void 15, type codes 1 to 9 as they are, "*"
// and user classes 0, other built-ins 255.
uint8_t podTypeCode(IRObject* type, bool isArray);
}  // namespace model
