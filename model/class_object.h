// The compiled form of a class, interface, enum or package, and of every
// built-in class: its member tables, its base, the bookkeeping of the passes,
// and at the same time its class record in the program image.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/rare_fields.h"
#include "model/container.h"
#include "model/ir_object.h"
#include "model/opcodes.h"

namespace model {

// The template methods of a class by name (ordered by length, then bytes),
// each name's list in insertion order.
class StringKeyTree {
public:
    void insert(std::string_view key, const qestl::SmartPtr& object);
    const std::vector<qestl::SmartPtr>* find(std::string_view key) const;
    size_t size() const { return count_; }
    bool operator==(const StringKeyTree& other) const = default;
    void clear() {
        nodes_.clear();
        count_ = 0;
    }
    template <typename Visit>
    void forEach(Visit visit) const {
        for (const auto& [key, list] : nodes_)
            for (const qestl::SmartPtr& object : list) visit(key, object);
    }

private:
    struct ByLengthThenBytes {
        using is_transparent = void;
        bool operator()(std::string_view a, std::string_view b) const {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        }
    };
    std::map<std::string, std::vector<qestl::SmartPtr>, ByLengthThenBytes> nodes_;
    size_t count_ = 0;
};

// Declaration node -> 0 declared, 1 compiled (package classes), ordered by
// the node's creation serial so that no address decides an order.
class NodeMap {
public:
    uint8_t& flagOf(const NodeHandle& node);
    const uint8_t* find(const NodeHandle& node) const;
    void clear() { entries_.clear(); }
    // The same nodes with the same flags.
    bool operator==(const NodeMap& other) const;

private:
    // The serial first; clones share it, so the node tells them apart.
    using Key = std::pair<uint32_t, const qeAbstractNode*>;
    static Key keyOf(const NodeHandle& node) { return {node ? node->serial : 0, node.get()}; }
    std::map<Key, std::pair<NodeHandle, uint8_t>> entries_;
};

// The method declaration record of the built-in catalogue, as
// registerNativeMethod reads it.
struct BuiltinMethodDecl {
    qestl::qestringA name;
    qestl::SmartPtr returnType;
    std::vector<qestl::SmartPtr> parameters;  // at most 32
    std::vector<qestl::SmartPtr> thrown;      // in creation-serial order
    bool nativeBody = true;                   // false: an abstract built-in method
    uint8_t isStatic = 0;
    uint8_t nonVirtual = 0;
    uint8_t noObjectReturn = 0;
    // The link name when the caller knows it already, as text that lives as
    // long as the process with two 0 bytes behind it; empty: built here.
    std::string_view linkName;
    // The caller knows the method's table holds no method of its name and
    // parameter types: it is appended without the overload checks.
    bool newInTable = false;
    // With newInTable: its name is entered in the table's index only when
    // the table is first looked into (Container::appendNew).
    bool unlistedUntilAsked = false;
    // The caller knows no resource has the method's link name yet: its
    // string is entered in the index of names only when one like it is
    // asked for (ModelContext::unlistedStringResource).
    bool unlistedLinkName = false;

    // Back to the empty record (no name, no type, no parameters, abstract).
    void initEmpty() {
        *this = BuiltinMethodDecl();
        nativeBody = false;
    }
};

// Gives `object` the link name `linkName` (text that lives as long as the
// process, two 0 bytes behind it), read in place; builds it when none is
// given. The sanitized build checks one given against the one built. An
// object given its name so is one whose name, type, owner and flags stay.
void takeKnownLinkName(IRObject& object, std::string_view linkName);

// Inserts a class into a thrown-class set kept in creation-serial order; a
// class already held is not added again.
void insertThrownClass(std::vector<qestl::SmartPtr>& set, const qestl::SmartPtr& thrown);

class ClassObject : public IRObject {
public:
    // classType: the Class type, every class object's type (empty while
    // the built-in types are being made, and for an array, typed by its
    // element).
    explicit ClassObject(const qestl::SmartPtr& classType);
    ClassObject(std::string_view className, const qestl::SmartPtr& classType);
    ~ClassObject() override;

    // The state of a new class (record operands, container kinds, flags).
    void init(const qestl::SmartPtr& classType, bool recordOperands = true);

    void detach() override;
    ClassObject* asClassObject() override { return this; }
    uint64_t encodedSize() const override;
    uint64_t assignAddress(ModelContext& context, uint64_t position) override;
    bool resolveOperands(ModelContext& context) override;
    uint64_t encode(ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t position) override;
    uint32_t signatureHash(uint32_t seed) const override;
    bool canAssignTo(ModelContext* context, const qestl::SmartPtr& target, bool implicit) override;
    const qestl::qestringA& getName() const override;
    bool isDerivedFrom(const IRObject* other) const override;
    bool isPodType() const override { return typeCode != 0 && typeCode != kTypeObject; }
    qestl::SmartPtr typeOfType() const override { return {}; }
    qestl::SmartPtr valueType() const override;
    bool bindIntrinsicMember(ModelContext& context, const qestl::HashedText& member, uint32_t flags) override;
    bool writeToLibrary(LibraryWriter& out) override;
    bool readFromLibrary(uint32_t recordKind, LibraryReader& in) override;

    // Member registration: the member's slot operand, or an error operand
    // (kind 33) whose value is the index of the member already held.
    Operand addProperty(const qestl::HashedText& memberName, const qestl::SmartPtr& member, bool isStaticMember);
    Operand addMethod(ModelContext& context, std::string_view memberName, const qestl::SmartPtr& member,
                      bool isStaticMember);
    Operand addClassMember(std::string_view memberName, const qestl::SmartPtr& member, bool isStaticMember);
    Operand addTemplateArgument(std::string_view argumentName, const qestl::SmartPtr& boundType);
    // A built-in instance field (other pieces call it declareBuiltinField).
    Operand addNativeProperty(const qestl::SmartPtr& member, bool constant);
    // `fresh`: the caller knows the member is in no table of the class and
    // its name in no static property table; `unlisted` as appendNew's.
    Operand addStaticConstProperty(std::string_view memberName, const qestl::SmartPtr& member, bool registerIt,
                                   bool constant, std::string_view linkName = {}, bool fresh = false,
                                   bool unlisted = false);
    // `linkName`: the member's link name when the caller knows it already
    // (text that lives as long as the process, two 0 bytes behind it).
    Operand addStaticMember(ModelContext& context, const qestl::SmartPtr& member, std::string_view linkName = {},
                            bool fresh = false, bool unlisted = false);
    // 1 + the member's position in the four tables (searched in order), else
    // in the template arguments, found by name and then identity; 0 when the
    // class does not hold this object.
    uint32_t indexOfMember(const IRObject& member) const { return indexOfMember(member, member.name.view()); }
    // The same with the member's name hashed already.
    uint32_t indexOfMember(const IRObject& member, const qestl::HashedText& name) const;

    // True when a chain noted as declared for good may run through this
    // class: the declaration pass moves its chain epoch on.
    bool setBaseClass(const qestl::SmartPtr& baseType, uint32_t access = 64);
    // False when the context reported an error (the flags stay set).
    bool buildMethodTables(ModelContext& context);
    void findFinalizer();
    // Lays out a class marked "Native" for native code (once; a class met
    // again while it is laid out is a cycle, reported when asked).
    bool computeNativeLayout(ModelContext& context, bool reportCycles);
    bool isDeclarationPending(const NodeHandle& node) const;

    // Lookup (the candidates go to the context's list).
    bool resolveMember(ModelContext& context, const qestl::HashedText& memberName, uint32_t flags,
                       uint32_t depth) override;
    // Asked at every member lookup: most programs never list a template
    // method, and the walk over the bases is skipped in place.
    void collectCandidates(ModelContext& context, std::string_view memberName, uint32_t flags) {
        if (context.templateMethodsListed()) collectTemplateMethods(context, memberName, flags);
    }
    void collectTemplateMethods(ModelContext& context, std::string_view memberName, uint32_t flags);
    uint32_t accessLevelFrom(ModelContext& context);
    bool collectAbstractMethods(std::vector<qestl::SmartPtr>& out) const;

    Container& table(uint32_t containerKind);
    ClassObject* base() const;

    uint8_t compiled = 0;
    uint8_t anonymous = 0;
    uint8_t capturesSlots = 0;
    uint8_t baseMergePending = 0;
    uint8_t methodTablesPending = 0;
    // The declaration pass climbs a class's base chain on every visit of
    // the class; once this body and every body above it in the chain are
    // declared for good, a visit goes straight to the part of the climb
    // that still does something: the first class above without a
    // declaration node (null: none). Valid while chainEpoch is the
    // declaration pass's current one.
    uint8_t bodyDeclared = 0;
    uint8_t chainDeclared = 0;
    // Set while signatureHash walks the class's members.
    mutable uint8_t hashUnderWay = 0;
    uint64_t chainEpoch = 0;
    ClassObject* chainRest = nullptr;
    bool chainDeclaredNow(uint64_t epoch) const { return chainDeclared != 0 && chainEpoch == epoch; }
    // After this body and its bases' were declared: remembers the chain
    // when all of it is done.
    void noteChainDeclared(uint64_t epoch);
    qestl::SmartPtr baseClass;
    Container dynamicMethods{kDynamicMethods};
    Container dynamicProperties{kDynamicProperties};
    // The static member tables, made on first write (OwnTables): most
    // classes declare no static member. A reader takes the IfMade form,
    // null standing for an empty table.
    Container& staticMethods() { return ownTables().staticMethods; }
    Container& staticProperties() { return ownTables().staticProperties; }
    const Container* staticMethodsIfMade() const {
        return ownTables_ != nullptr ? &ownTables_->staticMethods : nullptr;
    }
    const Container* staticPropertiesIfMade() const {
        return ownTables_ != nullptr ? &ownTables_->staticProperties : nullptr;
    }
    Container* staticMethodsIfMade() { return ownTables_ != nullptr ? &ownTables_->staticMethods : nullptr; }
    Container* staticPropertiesIfMade() { return ownTables_ != nullptr ? &ownTables_->staticProperties : nullptr; }
    // A lookup of a static member in a class whose static tables are not
    // made: the name is noted as failing among no members, as either table
    // would note it, and the tables take the notes when they are made.
    void noteStaticFailureBeforeMade(ModelContext& context, const qestl::HashedText& name);
    // The anonymous-properties table the record writes: the class's own
    // (ownsAnonymousTable), its base's, one read from a library, or none.
    Container* anonymousTable() {
        return ownsAnonymousTable != 0 ? &ownTables().anonymousProperties : sharedAnonymousProperties;
    }
    // The same, null while the class's own is not made (it has no member).
    Container* anonymousTableIfMade() const {
        if (ownsAnonymousTable == 0) return sharedAnonymousProperties;
        return ownTables_ != nullptr ? &ownTables_->anonymousProperties : nullptr;
    }
    bool writesAnonymousTable() const { return ownsAnonymousTable != 0 || sharedAnonymousProperties != nullptr; }
    // Another's table from now on (null: none).
    void shareAnonymousTable(Container* table) {
        noteWrite();
        ownsAnonymousTable = 0;
        sharedAnonymousProperties = table;
    }
    Container& templateArgumentTable() { return ownTables().templateArgumentTable; }
    // Null while the class has no template argument.
    const Container* templateArgumentTableIfMade() const {
        return ownTables_ != nullptr ? &ownTables_->templateArgumentTable : nullptr;
    }
    // The image's resolution walk that last resolved this record, members
    // and all, from its code list (0: none): the first heap, which names
    // every class once more, passes over it in that walk. Kept in 32 bits
    // beside the access, a word less per class: a walk numbered past them
    // never matches, and the record is only resolved once more.
    uint32_t resolvedInWalk = 0;
    void noteResolvedIn(uint64_t walk) {
        noteWrite();
        resolvedInWalk = static_cast<uint32_t>(walk);
    }
    uint16_t inheritanceAccess = 64;
    // The record writes the class's own anonymous-properties table.
    uint8_t ownsAnonymousTable = 1;
    // getThisObject's, made on first use.
    qestl::SmartPtr thisObject;

    // What few classes set: closures, package declaration nodes, native
    // layouts, template methods, library tokens. Read through rareClass();
    // written through editRareClass(), which notes the write.
    struct RareClass {
        Container* captureContainer = nullptr;
        NodeMap declarationNodeMap;
        Operand nativeLayoutOperand;
        uint8_t hasNativeLayout = 0;
        uint32_t nativeLayoutState = 0;
        StringKeyTree templateMethodIndex;
        // The library token of an anonymous-properties container not read yet.
        uint64_t awaitedToken = 0;
        // Of the Class type only: the table of built-in types it heads, so
        // that model code without a context reaches the others through it.
        const BuiltinTypes* builtinTable = nullptr;
        bool operator==(const RareClass& other) const;
    };
    const RareClass& rareClass() const { return rareClass_.get(); }
    RareClass& editRareClass() {
        noteWrite();
        return rareClass_.edit();
    }

    // The class's static member, anonymous-properties and template-argument
    // tables, made when first asked for: a class without static members,
    // nested anonymous classes or template arguments writes empty tables or
    // none, and a program of a million one-method classes paid 160 bytes in
    // each for them. The owner lets a lent table find its class
    // (model/kept_objects.cpp).
    struct OwnTables {
        static void* operator new(size_t bytes) { return qestl::allocateObjectMemory(bytes); }
        static void operator delete(void* memory, size_t bytes) { qestl::freeObjectMemory(memory, bytes); }
        explicit OwnTables(ClassObject* owner) : owner(owner) {}
        ClassObject* owner;
        Container staticMethods{kStaticMethods};
        Container staticProperties{kStaticProperties};
        Container anonymousProperties{kAnonymousProperties};
        Container templateArgumentTable{kTemplateArguments};
    };

protected:
    qestl::SmartPtr* thisField() override { return &thisObject; }
    // A value standing for a class (InstanceObject) is no record of the
    // image: its record's operand slots are not made (a member reached
    // through a value makes one, and the varied program of
    // bench/compare_compilers.py reaches some eight thousand in 10k lines).
    struct StandIn {};
    ClassObject(const qestl::SmartPtr& classType, StandIn) { init(classType, false); }

private:
    // resolveMember's and bindIntrinsicMember's work, written out where they are
    // asked (model/class_lookup.cpp): an identifier's lookup asks the class
    // of its method about nearly every name, and each call on the way cost
    // at every name. No class derived from this one answers resolveMember
    // otherwise.
    [[gnu::always_inline]] inline bool resolveHere(ModelContext& context, const qestl::HashedText& member,
                                                   uint32_t flags, uint32_t depth);
    [[gnu::always_inline]] inline bool bindHere(ModelContext& context, const qestl::HashedText& memberName,
                                                uint32_t flags);
    // The candidates listed from `first` on, found in this class `depth`
    // steps out of the lookup's class: its instance members become members
    // of its instance there.
    void reachThroughEnclosing(ModelContext& context, size_t first, uint32_t depth);
    // The same for the locals of the frame this class captured; where no
    // instance leads out to this class (a static class lies between), they
    // are out of reach.
    void reachCaptured(ModelContext& context, size_t first, uint32_t depth, bool reachable);
    friend class KeptObjects;
    friend class Container;
    qestl::RareFields<RareClass> rareClass_;
    Container* sharedAnonymousProperties = nullptr;
    OwnTables& ownTables() {
        if (ownTables_ == nullptr) makeOwnTables();
        return *ownTables_;
    }
    void makeOwnTables();
    OwnTables* ownTables_ = nullptr;
    FailedNames staticFailuresBeforeMade_;
};

inline ClassObject* asClass(IRObject* object) { return object != nullptr ? object->asClassObject() : nullptr; }

// Appends one 24-byte field entry per "Native" member of a dynamic-property
// container to the layout block; the number of object fields.
uint32_t nativeStructLayout(Container& properties, ModelContext& context, std::vector<uint8_t>& block);

// A new registered class named name (rebuilt link name).
qestl::SmartPtr makeClass(std::string_view name, const qestl::SmartPtr& classType);
// The same, the name given as a string: a name read in place from a node's
// stored text is not copied (a program of a million classes had a heap block
// for each name).
qestl::SmartPtr makeNamedClass(const qestl::qestringA& name, const qestl::SmartPtr& classType);

// Declares one built-in method; returns its call descriptor. When the class
// refuses it the message is printed, the method dropped, and the descriptor
// carries the refusal code in its slot bits.
uint64_t registerNativeMethod(ClassObject& owner, ModelContext& context, const BuiltinMethodDecl& decl,
                              qestl::SmartPtr* made = nullptr);

// The u32 count and one entry per dynamic method; empty when a type has no
// code.
std::vector<uint8_t> buildRemoteInterfaceDescriptor(const ClassObject& owner, bool& ok);

// forEachRecord for a list of class records. What a short list names lies in
// the caches already, and asking for it only costs. A long one asks for each
// record's operands and what they name; past kManyClassRecords records (25
// MB of them) also for the whole record, whose tables lie in lines of their
// own behind its first and were waited for in turn (bench/hostile_shapes.py
// inheritance_chain at 1M).
constexpr size_t kManyClassRecords = 32768;
struct WholeClassRecords : OperandsAndTargets {
    void operator()(cbircode& record) const {
        OperandsAndTargets::operator()(record);
        if (record.opcode != kOpClassRecord) return;
        const char* bytes = reinterpret_cast<const char*>(static_cast<IRObject&>(record).asClassObject());
        if (bytes == nullptr) return;
        qestl::touchLines(bytes, sizeof(ClassObject), 64);
    }
};
template <typename Visit>
void forEachClassRecord(const qestl::SmartPtrVector& list, Visit&& visit) {
    constexpr size_t kManyRecords = 4096;
    if (list.size() < kManyRecords) forEachRecord(list, visit);
    else if (list.size() < kManyClassRecords) forEachRecord(list, visit, OperandsAndTargets());
    else forEachRecord(list, visit, WholeClassRecords());
}

}  // namespace model
