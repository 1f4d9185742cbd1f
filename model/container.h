// The named-member scope of the model: stack frames, the image heap,
// closures, the member tables of classes, native libraries. Members keep
// their declaration order; a name may list several (overloads).
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "diagnostics/diagnostics.h"
#include "foundation/byte_io.h"
#include "foundation/smart_ptr.h"
#include "foundation/text_map.h"
#include "model/class_holder.h"
#include "model/failed_names.h"
#include "model/ir_object.h"
#include "model/member_index.h"
#include "model/model_context.h"

namespace model {

class ContainerOwners;
class LibraryReader;

class LibraryWriter;

// The names of class holders in the image heap begin so, followed by the
// holder's index there, '@' and the class's name.
inline constexpr std::string_view kHolderPrefix = "$class";

// A container's kind is the operand kind through which code reaches its
// members.
enum ContainerKind : uint32_t {
    kTemplateArguments = 0,
    kStackFrame = 9,
    kImageHeap = 10,
    kClosure = 11,
    kAnonymousProperties = 13,
    kDynamicProperties = 14,
    kStaticProperties = 15,
    kDynamicMethods = 16,
    kFirstNativeLibrary = 28,    // a static import block's module
    kDynamicNativeLibrary = 29,  // a class's dynamic import table
    kStaticMethods = 34,
};

// Codes of the error operand that member registration answers with.
enum MemberError : int64_t {
    kErrNoOverload = 130,
    kErrDuplicateName = 141,
    kErrStaticOverride = 151,
    kErrNoBasePrototype = 152,
    kErrSameParameters = 153,
    kErrFinalOverride = 154,
    kErrReturnTypeOnly = 155,
    kErrPrivateOverride = 157,
    kErrBaseNotNil = 158,
    kErrThrowsOnly = 159,
    // Not a table's: a captured local that the code of a class nested in
    // the capturing one cannot reach.
    kErrCaptureOutOfReach = 160,
};
// The entry of a member error; a code without one of its own has no base
// prototype. Its text takes the listing of the members of that name.
const Diagnostic& memberError(int64_t code);

// Lookup mode bit asking for the instruction that reaches a member.
constexpr uint32_t kLookupAccessInstruction = 1u << 4;

// The level a member is seen at from outside its class and those derived
// from it: the highest a class's lookup asks, so a public member passes.
constexpr uint32_t kLevelOutside = 64;
// Asked for as a default level: the level the lookup's viewer sees the
// looked-up class's own members at, which the class answers (a walk of the
// viewer's bases and owners). Asked only of a member that is not public.
constexpr uint32_t kLevelOfViewerClass = UINT32_MAX;

class Container {
public:
    // A member index fits 32 bits: a class has six containers, and the count
    // and capacity a word narrower each.
    using MemberList = qestl::qevector<qestl::SmartPtr, uint32_t>;

    // One (name, member index) pair of the name index.
    struct NameEntry {
        std::string name;
        uint32_t index;
    };

    explicit Container(uint32_t kind) : Container(kind, kTableShape) {}
    // In place: a class has six containers, most of them never given a member
    // or a name, and every member value is a class object too (the
    // varied-code row of bench/compare_compilers.py makes one for nearly
    // every member access), so most containers go with nothing to let go of.
    ~Container() {
        if (tables_ != nullptr) releaseTables();
    }
    Container(const Container&) = delete;
    Container& operator=(const Container&) = delete;

    Operand allocateSlot(IRObject* member, uint32_t index);
    // A native library's module takes only members without owner: natives
    // declared in a class are not found through the module.
    bool acceptsMember(IRObject* member) const {
        return shape_ != kModuleShape || (member != nullptr && member->ownerObject() == nullptr);
    }
    // Of a frame also its owner, of a heap its header record's operands.
    void clear();
    // Empties the container without detaching its members: they live on in
    // another container that took them over.
    void handOverMembers();
    bool writeToLibrary(LibraryWriter& out);
    bool readFromLibrary(LibraryReader& in);

    Operand findOrCreate(std::string_view name, const qestl::SmartPtr& member, NameEntry* out = nullptr) {
        return findOrCreateHashed(name, member, out);
    }
    Operand findOrCreateHashed(const qestl::HashedText& name, const qestl::SmartPtr& member, NameEntry* out = nullptr);
    Operand findOrCreateSlot(std::string_view name, const qestl::SmartPtr& member) {
        return findOrCreate(name, member);
    }
    // A member no name reaches (a static field's value in the image heap):
    // kept in order with its slot, and left out of the name index, where a
    // program of a million static fields paid a name and a place for each.
    Operand appendUnlisted(const qestl::SmartPtr& member);
    // A class's holder, "$class<n>@<name>" at index n: nothing looks it up,
    // and a program of a million classes paid an index place for each. It
    // stays unlisted until a name of that form is entered (a static field
    // "$<class>@<field>" of a class named class<n>, through
    // findOrCreateBesideHolders): that name is refused as the unlisted holder
    // it spells, and the holders after it are listed, as every holder was,
    // so the two refuse each other as before.
    void appendClassHolder(const qestl::SmartPtr& holder);
    // findOrCreate for a static field's "$<class>@<field>", the one listed
    // name that can take a class holder's form.
    Operand findOrCreateBesideHolders(std::string_view name, const qestl::SmartPtr& member);
    Operand findOrAdd(std::string_view name, const qestl::SmartPtr& function);
    // findOrAdd for a function the caller knows no member of the table has
    // the name and parameter types of, or findOrCreate for a member (no
    // enum constant) of a name the table lacks: appended without looking.
    // With `unlisted`, into a table that lists no name yet, its name is
    // entered in the index only when the table is first looked into (the
    // catalogue declares some thousand members at every start, most never
    // looked for). `name` is the member's own.
    Operand appendNew(std::string_view name, const qestl::SmartPtr& member, bool unlisted = false);
    // The first member of the name (by its own name), without entering the
    // names still unlisted; null when none.
    const qestl::SmartPtr* firstNamed(std::string_view name) const;
    qestl::SmartPtr findMember(std::string_view name);
    // Imported functions: nothing is added when an entry of the name has the
    // same parameter types (sameSignature non-zero); the entry's slot.
    Operand addOverload(std::string_view name, const qestl::SmartPtr& function);
    int64_t duplicateNameCode(const IRObject& object);
    Operand addMethod(ModelContext& context, std::string_view name, const qestl::SmartPtr& method);
    // Rebuild a class's method table; false after the first error (reported).
    bool finishMethodTable(const qestl::SmartPtr& tableOwner, ModelContext& context);
    bool mergeBaseMethods(const qestl::SmartPtr& tableOwner, const Container& base, ModelContext& context);
    void inheritMembers(const Container& base);
    // Room in the name index for `count` more names.
    void reserveNames(size_t count) { tables().index.reserve(count); }
    // Most lookups pass a table by that does not list the name, after an
    // earlier one found it: that answer is made in place.
    bool lookupVisible(ModelContext& context, IRObject* viewer, const qestl::HashedText& name, uint32_t defaultLevel,
                       uint32_t mode) {
        return lookupListed(context, viewer, indexesOf(name), name, defaultLevel, mode);
    }
    // The same with the name's entries (indexesOf) asked for already.
    // kViewerClass: the viewer is the class looked up, which is asked for
    // the default level (kLevelOfViewerClass) when a member needs it.
    template <bool kViewerClass = false>
    bool lookupListed(ModelContext& context, IRObject* viewer, const IndexList* listed, const qestl::HashedText& name,
                      uint32_t defaultLevel, uint32_t mode) {
        if (listed != nullptr) return bindVisible<kViewerClass>(context, viewer, *listed, name, defaultLevel, mode);
        if (context.candidateCount() != 0) return true;
        collectSimilarNames(context, name);
        return false;
    }
    bool collectByName(ModelContext& context, const qestl::HashedText& name, uint32_t level);
    IRResult bindCandidate(IRObject& member, uint32_t mode);
    // bindCandidate's work on a candidate that holds the member already.
    void finishCandidate(IRResult& candidate, IRObject& member, uint32_t mode);
    // A name offers the members there were when it first failed here, at
    // every later failure too; the list itself is made when a message asks.
    // A name that first failed here when there were no members is offered
    // none, and most failures are in containers that have none.
    void collectSimilarNames(ModelContext& context, const qestl::HashedText& name) {
        size_t counted = failed_.notedCount(name, context.failedNameNumbers());
        if (counted == FailedNames::kNotNoted) counted = noteFirstFailure(name);
        if (counted != 0) context.addNearMissesOf(*this, name.text, name.number, counted);
    }
    // A small table that every lookup passes, and that most fail in, picks a
    // name's near misses at its first failure: a name with none is noted as
    // failing among no members, and its later failures note nothing to list.
    void pickNearMissesAtFirstFailure() { picksNearMisses_ = 1; }
    // The names that failed here before the table was made, among no members.
    void noteFailuresBeforeMade(const FailedNames& earlier) { failed_.noteAllAtNone(earlier); }
    // The members among the first `memberCount` whose names are close to
    // `name` (of that failed-name number), in member order.
    void listSimilarNames(std::string_view name, uint32_t number, size_t memberCount, IRValueList& out);
    void renameFunctionStatics(const std::vector<NameEntry>& entries);
    // Takes the names entered after the first `mark` out of the name index,
    // last member first; the members and their slots stay.
    void forgetNamesAfter(size_t mark);
    // Warning 324 once per container for each class, and each function that
    // does not override, never used (classes are descended into).
    void warnUnusedMembers(ModelContext& context);

    // The image form.
    uint64_t encodedSize() const;
    uint64_t assignAddress(ModelContext& context, uint64_t position);
    uint64_t encode(ModelContext& context, qestl::ByteWriter& out, qestl::ByteWriter& typeStream, uint64_t position);
    // The image form of an empty container of the kind, for a table not made.
    static constexpr uint64_t kEmptyEncodedSize = 8;
    static uint64_t encodeEmpty(qestl::ByteWriter& out, uint32_t kind) {
        out.u32le(kind);
        out.u32le(0);
        return kEmptyEncodedSize;
    }

    // The name a template-argument container lists member i under.
    std::string templateParameterNameAt(size_t i) const;

    uint32_t kind() const { return kind_; }
    // A frame lent to a class as its closure changes kind while lent.
    void setKind(uint32_t newKind) {
        noteWrite();
        kind_ = static_cast<uint16_t>(newKind);
    }
    const MemberList& members() const { return members_; }
    // The member indexes listed under a name, in insertion order.
    const IndexList* indexesOf(const qestl::HashedText& name) const {
        listUnlisted();
        if (tables_ == nullptr || (tables_->nameBits & nameBit(name.hash)) == 0) return nullptr;
        return tables_->index.find(name);
    }
    // The place where indexesOf(name) will look, loaded ahead
    // (MemberIndex::prefetch).
    void prefetchPlace(const qestl::HashedText& name) const {
        listUnlisted();
        if (tables_ != nullptr) tables_->index.prefetch(name);
    }
    // Where listSimilarNames will look for the name, loaded ahead.
    void prefetchSimilarNames(const qestl::HashedText& name, uint32_t number) const {
        failed_.prefetchListing(name, number);
    }
    size_t indexEntryCount() const {
        listUnlisted();
        return tables_ != nullptr ? tables_->entries : 0;
    }
    const std::vector<uint64_t>& slotValues() const;

    // The object a library record names as the container's owner. Only a
    // stack frame has one (StackFrame::owner): a class has six containers,
    // and the word each paid for it is kept aside, by the compilation that
    // read the library, for the few that a library gives one.
    qestl::SmartPtr recordedOwner(const ContainerOwners& aside) const;
    void setRecordedOwner(ContainerOwners& aside, const qestl::SmartPtr& owner);
    // The heap of a compilation's model, with its own header record.
    bool isModelHeap() const { return shape_ == kHeapShape; }
    // Of the model heap: lets go of the name index until a name is looked
    // up or entered again, when it is made anew as it was (the class
    // holders left out). Not where more than the names is kept, nor for
    // fewer members than kFewestReleased: the lists built to let it go
    // take more than it frees (hello world: the catalogue's few hundred
    // statics).
    void releaseIndex();
    static constexpr size_t kFewestReleased = 4096;

    uint8_t reported = 0;

    // An empty container takes the other's members and names as they are.
    // The members are lent, not copied, until this container writes them
    // (the other is not written while this one holds them); the names are
    // shared like an inherited table's.
    void lendEntriesOf(const Container& other);

    // What the container holds at one moment, to be given back whole.
    struct Saved;
    void save(Saved& into) const;
    // True when something had changed.
    bool restore(const Saved& saved);
    // The table of a lent class (`record`, whose table this is): every
    // write notes the class written (cbircode::noteWrite), so that it is
    // given back whole. Null ends it.
    void lendWith(cbircode* record);
    // Goes before every write of what save() keeps.
    void noteWrite() {
        if (lent_ != 0) noteLentWrite();
    }

protected:
    enum Shape : uint8_t { kTableShape, kFrameShape, kHeapShape, kModuleShape };
    Container(uint32_t kind, Shape shape) : kind_(static_cast<uint16_t>(kind)), shape_(shape) {}

private:
    using NameIndex = MemberIndex;

    // Flattened: the candidate of each member found is made, handed over
    // and dropped in place, where this file's inlining budget ran out.
    template <bool kViewerClass>
    [[gnu::flatten]] bool bindVisible(ModelContext& context, IRObject* viewer, const IndexList& listed,
                                      const qestl::HashedText& name, uint32_t defaultLevel, uint32_t mode);
    MemberSlot slotFor(IRObject* member, uint32_t index);
    // The name hashed once serves the lookup before and the entry.
    void enter(const qestl::HashedText& name, uint32_t index);
    uint32_t append(const qestl::HashedText& name, const qestl::SmartPtr& member);
    // Copies borrowed members before one is replaced in place.
    void ownMembers();
    uint64_t entrySize(const IRObject& member) const;
    bool reportTableError(ModelContext& context, const qestl::SmartPtr& tableOwner, IRObject& method, int64_t code);
    // Reports the method at `refused` and hands the methods the table was
    // left without to the compilation's teardown.
    // finishMethodTable's methods appended unlisted when nothing among them
    // is to be checked; false: none taken.
    bool takeUnlisted(const MemberList& taken);
    bool refuseTable(ModelContext& context, const qestl::SmartPtr& tableOwner, const MemberList& taken, size_t refused,
                     int64_t code);
    // The members listed under the name that may have the function's
    // parameter types (sameSignature non-zero), in listing order.
    std::vector<uint32_t> sameParameterCandidates(const qestl::HashedText& name, const IRObject& function);
    [[gnu::noinline]] size_t noteFirstFailure(const qestl::HashedText& name);
    [[gnu::noinline]] void noteLentWrite();
    // A frame's owner let go, another container's set aside forgotten.
    void dropOwner();
    // A name of a class holder's form about to be listed: true when it is
    // that of an unlisted holder (at the index its digits give), which
    // refuses it; else the holders after it are listed.
    bool refusesHolderName(std::string_view name);
    // Whether one of the first `count` members is a near miss of `name`; the
    // near misses are appended to `out` where it is given.
    bool similarNamesAmong(std::string_view name, size_t count, std::vector<qestl::SmartPtr>* out);

    // Beside `reported`: a class has six containers, and a program some
    // containers for every class and function.
    uint8_t picksNearMisses_ : 1 = 0;
    // Set while an owner is kept aside for this container (ContainerOwners):
    // an entry there for a container without it, one gone since at the same
    // address, names nothing.
    uint8_t ownerAside_ : 1 = 0;
    // Every member is still to be entered in the name index, in order
    // (appendNew with `unlisted`, unlisted_ set), or as the index was
    // (kIndexReleased: releaseIndex); anything that reads or
    // writes the index enters them first.
    static constexpr uint8_t kIndexReleased = 2;
    void listUnlisted() const {
        if (unlisted_ != 0) [[unlikely]]
            const_cast<Container*>(this)->enterUnlisted();
    }
    void enterUnlisted();
    void enterReleased();
    uint8_t listsHolderNames_ = 0;  // a listed name begins as a class holder's
    // Lent with its class (lendWith): the table's place among its class's
    // kept tables, from which it finds the class (model/kept_objects.cpp).
    // The tables of a few built-in classes are lent, and a program of a
    // million classes paid a word in each of a class's six tables for a
    // pointer to it.
    uint8_t lent_ = 0;
    uint16_t kind_;
    // What a container is besides its table: the three kinds of container
    // that hold more are told apart by it, not by a virtual table, whose
    // pointer each of a class's six containers paid for.
    uint8_t shape_;
    // In the byte left beside shape_: see listUnlisted.
    uint8_t unlisted_ = 0;
    MemberList members_;
    // The listing of a name bucketed by a key of the parameter types that is
    // equal whenever sameSignature holds, so that an overload is compared
    // only with the few of its key; a member still being declared (its
    // parameters may change) is compared always. Positions in the listing,
    // of the first `listed` entries; forgotten when the index changes
    // other than by adding.
    struct SignatureIndex {
        size_t listed = 0;
        std::unordered_map<uint64_t, std::vector<uint32_t>> byKey;
        std::vector<uint32_t> pending;
    };
    // Made with the first name entered (or slot value kept): a class has six
    // containers, most of them never given a member, and a program of a
    // million classes paid for six empty maps each.
    // From object memory, without the C heap's header: a program of a
    // million classes makes them for a million method tables. The slot
    // values (of a closure) and the signatures (of an overloaded name) are
    // made when first written: most tables never have any.
    struct Tables {
        static void* operator new(size_t bytes) { return qestl::allocateObjectMemory(bytes); }
        static void operator delete(void* memory, size_t bytes) { qestl::freeObjectMemory(memory, bytes); }
        // The containers that hold these tables: one that writes them while
        // another holds them too writes a copy of its own.
        uint32_t holders = 1;
        // The member indexes listed under all names.
        uint32_t entries = 0;
        // One bit of the hash of every name entered since the index was last
        // emptied: most lookups ask tables that lack the name, and a clear
        // bit answers without reaching the index's buckets and nodes.
        uint64_t nameBits = 0;
        NameIndex index;
        qestl::RareFields<std::vector<uint64_t>> slotValues;
        qestl::RareFields<qestl::TextMap<SignatureIndex>> signatures;
    };
    static uint64_t nameBit(size_t hash) { return uint64_t{1} << (hash >> 58); }
    // The tables to write: made, or copied from shared ones, first.
    Tables& tables();
    // Holds the other's tables too (none when it has none).
    void shareTablesOf(const Container& other);
    void releaseTables();
    // The index and signatures emptied; the slot values stay.
    void forgetIndex();
    Tables* tables_ = nullptr;
    FailedNames failed_;
};

// The frame of a function being compiled, which knows its function.
class StackFrame : public Container {
public:
    StackFrame() : Container(kStackFrame, kFrameShape) {}

    qestl::SmartPtr owner;
};

struct Container::Saved {
    MemberList members;
    NameIndex index;
    size_t indexEntries = 0;
    std::vector<uint64_t> slotValues;
    uint32_t kind = 0;
    uint8_t reported = 0;
    qestl::SmartPtr owner;  // a frame's
};

}  // namespace model
