// The reader and writer of object records in link libraries. The library
// code supplies the object references; the model writes and reads its own
// fields through these, every fixed-width field bounds-checked.
#pragma once

#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

#include "foundation/byte_io.h"
#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
#include "source/node.h"

namespace model {

class Container;
class ClassObject;
class IRObject;

// Lets go of an object a link library made, when the library is refused or
// the compilation ends. A record may name its own object (or one named by
// it) as owner, template argument or thrown class, and an array names itself
// through its "length" member: detaching alone would leave those cycles
// alive.
void releaseReadObject(const qestl::SmartPtr& object);

// The owners library records give containers other than stack frames
// (Container::recordedOwner), kept by the compilation whose libraries named
// them: a class's containers keep no word for one. Few entries.
class ContainerOwners {
public:
    qestl::SmartPtr of(const Container& container) const;
    // A null owner takes the entry out.
    void set(const Container& container, const qestl::SmartPtr& owner);
    void clear() { owners_.clear(); }

private:
    std::unordered_map<const Container*, qestl::SmartPtr> owners_;
};

class LibraryWriter {
public:
    explicit LibraryWriter(qestl::ByteVector& bytes) : out(bytes) {}
    LibraryWriter(const LibraryWriter&) = delete;
    LibraryWriter& operator=(const LibraryWriter&) = delete;
    virtual ~LibraryWriter() = default;
    // Where the owners of the containers written are looked up: the
    // compilation's, else the writer's own.
    ContainerOwners& owners() { return *owners_; }
    void keepOwnersIn(ContainerOwners& kept) { owners_ = &kept; }
    // A reference to an object (null allowed); false when it cannot be written.
    virtual bool writeObjectRef(const qestl::SmartPtr& object) = 0;
    // The bare "nothing" reference, kept in place of a member that is not
    // written.
    virtual bool writeNothingRef() = 0;
    // A declaration as the library's serialised syntax tree, preceded by its
    // u32 length (the node stream belongs to the library code).
    virtual bool writeDeclarationTree(const _KNode<qeAbstractNode>& declaration) = 0;
    // The identity a full record names its object by (the object's own
    // unless the writer had to give it another).
    virtual uint64_t identityOf(const IRObject& object);
    // The token of a shared anonymous-properties container: numbered in the
    // order the writer first meets them, so that no address reaches the
    // library.
    uint64_t tokenFor(const void* container) {
        auto found = tokens_.find(container);
        if (found == tokens_.end()) found = tokens_.emplace(container, tokens_.size() + 1).first;
        return found->second;
    }
    void writeString(const qestl::qestringA& text) {
        out.u32le(static_cast<uint32_t>(text.length()));
        out.bytes(text.data(), text.length());
    }
    qestl::ByteWriter out;

private:
    std::map<const void*, uint64_t> tokens_;
    ContainerOwners ownOwners_;
    ContainerOwners* owners_ = &ownOwners_;
};

class LibraryReader {
public:
    LibraryReader(const uint8_t* data, size_t size) : in(data, size) {}
    LibraryReader(const LibraryReader&) = delete;
    LibraryReader& operator=(const LibraryReader&) = delete;
    virtual ~LibraryReader() = default;
    // Where the owners the container records name are kept: the
    // compilation's, else the reader's own.
    ContainerOwners& owners() { return *owners_; }
    void keepOwnersIn(ContainerOwners& kept) { owners_ = &kept; }
    // Reads a reference (null for "nothing"); false on a damaged or short
    // record.
    virtual bool readObjectRef(qestl::SmartPtr& object) = 0;
    // The length-prefixed declaration tree; false when damaged.
    virtual bool readDeclarationTree(_KNode<qeAbstractNode>& declaration) = 0;
    // A class names its anonymous-properties container by token: the owner
    // enters it when read, a class read before its owner waits for it.
    void enterAnonymousContainer(uint64_t token, Container* container);
    Container* anonymousContainer(uint64_t token) const;
    void awaitAnonymousContainer(ClassObject* waiting, uint64_t token);
    // False when a class still waits: the library is invalid (a class
    // without its container cannot be sized).
    bool anonymousLinksComplete() const { return pendingLinks_.empty(); }
    qestl::ByteReader in;
    // Set when a class read lists a template method: the compilation that
    // takes the classes is told so.
    bool templateMethodsRead = false;

private:
    std::map<uint64_t, Container*> anonymousContainers_;
    // Held, so that a class whose record failed later is not freed under
    // its link.
    std::vector<std::pair<qestl::SmartPtr, uint64_t>> pendingLinks_;
    ContainerOwners ownOwners_;
    ContainerOwners* owners_ = &ownOwners_;
};

// A u32 length, then that many bytes: the length must be below what is left
// to read; the string ends at its first NUL byte.
bool readLengthString(LibraryReader& reader, qestl::qestringA& text);

}  // namespace model
