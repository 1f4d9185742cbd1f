// The reader and writer of object records in link libraries. The library
// code supplies the object references; the model writes and reads its own
// fields through these, every fixed-width field bounds-checked.
#pragma once

#include <cstdint>

#include "foundation/byte_io.h"
#include "foundation/qestring.h"
#include "foundation/smart_ptr.h"
#include "source/node.h"

namespace model {

class LibraryWriter {
public:
    explicit LibraryWriter(qestl::ByteVector& bytes) : out(bytes) {}
    virtual ~LibraryWriter() = default;
    // A reference to an object (null allowed); false when it cannot be written.
    virtual bool writeObjectRef(const qestl::SmartPtr& object) = 0;
    // The bare "nothing" reference, kept in place of a member that is not
    // written.
    virtual bool writeNothingRef() = 0;
    // A declaration as the library's serialised syntax tree, preceded by its
    // u32 length (the node stream belongs to the library code).
    virtual bool writeDeclarationTree(const _KNode<qeAbstractNode>& declaration) = 0;
    void writeString(const qestl::qestringA& text) {
        out.u32le(static_cast<uint32_t>(text.length()));
        out.bytes(text.data(), text.length());
    }
    qestl::ByteWriter out;
};

class LibraryReader {
public:
    LibraryReader(const uint8_t* data, size_t size) : in(data, size) {}
    virtual ~LibraryReader() = default;
    // Reads a reference (null for "nothing"); false on a damaged or short
    // record.
    virtual bool readObjectRef(qestl::SmartPtr& object) = 0;
    // The length-prefixed declaration tree; false when damaged.
    virtual bool readDeclarationTree(_KNode<qeAbstractNode>& declaration) = 0;
    qestl::ByteReader in;
};

// A u32 length, then that many bytes: the length must be below what is left
// to read; the string ends at its first NUL byte.
bool readLengthString(LibraryReader& reader, qestl::qestringA& text);

}  // namespace model
