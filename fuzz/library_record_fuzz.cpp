// The object and container records of link libraries over arbitrary bytes:
// a record is either refused or read whole, and what was read writes back to
// bytes that read back to the same record (lengths and counts never size
// anything before they are checked against the bytes left). The first byte
// chooses: even, a run of object records (classes among them); odd, one
// container.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/class_object.h"
#include "model/container.h"
#include "model/function_object.h"
#include "model/ir_object.h"
#include "model/library_io.h"

namespace {

// A reference is a u32 tag: 0 none, 1 the object read before (or a fresh
// one at the start); anything else is a damaged record.
class TagReader final : public model::LibraryReader {
public:
    using LibraryReader::LibraryReader;
    bool readObjectRef(qestl::SmartPtr& object) override {
        const uint32_t tag = in.u32le();
        if (!in.ok() || tag > 1) return false;
        if (tag == 0) {
            object.reset();
        } else {
            if (!previous) previous = model::makeObject("base", model::kKindClass, qestl::SmartPtr(), 0);
            object = previous;
        }
        return true;
    }
    // Trees are the static library's own fuzz target: here an empty one.
    bool readDeclarationTree(_KNode<qeAbstractNode>& declaration) override {
        const uint32_t length = in.u32le();
        declaration.reset();
        return in.ok() && length == 0;
    }
    qestl::SmartPtr previous;
};

class TagWriter final : public model::LibraryWriter {
public:
    using LibraryWriter::LibraryWriter;
    // As the library's writer: the stand-in a container made for a member
    // its library did not write (kind 0) is written as nothing again.
    bool writeObjectRef(const qestl::SmartPtr& object) override {
        out.u32le(object && model::asObject(object)->kind != 0 ? 1 : 0);
        return true;
    }
    bool writeNothingRef() override {
        out.u32le(0);
        return true;
    }
    bool writeDeclarationTree(const _KNode<qeAbstractNode>&) override {
        out.u32le(0);
        return true;
    }
};

// Reads one record (kind, identity, object part); null when refused.
qestl::SmartPtr readRecord(TagReader& reader) {
    const uint32_t kind = reader.in.u32le();
    reader.in.u64le();
    // Kind 0 is the stand-in's, which no record has (the loader makes no
    // object for it, the writer writes it as nothing).
    if (!reader.in.ok() || kind == 0) return {};
    model::IRObject* object = kind == model::kKindFunction           ? new model::FunctionObject()
                              : kind == model::kKindTemplateFunction ? new model::TemplateFunctionObject()
                              : kind == model::kKindClass            ? new model::ClassObject(qestl::SmartPtr())
                                                                     : new model::IRObject();
    qestl::SmartPtr made = model::adoptLive(object);
    if (!made.as<model::IRObject>()->readFromLibrary(kind, reader)) {
        made.as<model::IRObject>()->detach();
        return {};
    }
    return made;
}

// Writes a record and reads it back, which must take every byte written.
qestl::SmartPtr writeAndReadBack(const qestl::SmartPtr& object, const qestl::SmartPtr& previous,
                                 qestl::ByteVector& bytes) {
    TagWriter writer(bytes);
    if (!object.as<model::IRObject>()->writeToLibrary(writer)) __builtin_trap();
    TagReader again(bytes.data(), bytes.size());
    again.previous = previous;
    qestl::SmartPtr read = readRecord(again);
    if (!read || again.in.remaining() != 0) __builtin_trap();
    return read;
}

bool sameBytes(const qestl::ByteVector& a, const qestl::ByteVector& b, size_t from) {
    return a.size() == b.size() && a.size() >= from && std::memcmp(a.data() + from, b.data() + from, a.size() - from) == 0;
}

void containerRoundTrip(const uint8_t* data, size_t size) {
    TagReader reader(data, size);
    model::Container first(0);
    if (!first.readFromLibrary(reader)) return;
    qestl::ByteVector once, twice;
    TagWriter writeOnce(once);
    writeOnce.keepOwnersIn(reader.owners());
    if (!first.writeToLibrary(writeOnce)) __builtin_trap();
    TagReader again(once.data(), once.size());
    again.previous = reader.previous;
    model::Container second(0);
    if (!second.readFromLibrary(again) || again.in.remaining() != 0) __builtin_trap();
    TagWriter writeTwice(twice);
    writeTwice.keepOwnersIn(again.owners());
    if (!second.writeToLibrary(writeTwice) || !sameBytes(once, twice, 0)) __builtin_trap();
    first.clear();
    second.clear();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    if (data[0] & 1) {
        containerRoundTrip(data + 1, size - 1);
        return 0;
    }
    TagReader reader(data + 1, size - 1);
    while (reader.in.remaining() > 0) {
        qestl::SmartPtr first = readRecord(reader);
        if (!first) break;
        // Tag 1 names the same object on the way back: a class's hash
        // takes in the link names of its members. The first writing may
        // leave out what the format writes as nothing (a member of an image
        // heap that is not a class reads back as absent); from the second
        // on, the bytes must not change.
        qestl::ByteVector once, twice, thrice;
        qestl::SmartPtr second = writeAndReadBack(first, reader.previous, once);
        qestl::SmartPtr third = writeAndReadBack(second, reader.previous, twice);
        TagWriter writeThrice(thrice);
        if (!third.as<model::IRObject>()->writeToLibrary(writeThrice)) __builtin_trap();
        // Everything but the identity (bytes 4 to 11), which is the writing
        // compilation's own serial.
        if (twice.size() != thrice.size() || twice.size() < 12 || std::memcmp(twice.data(), thrice.data(), 4) != 0 ||
            std::memcmp(twice.data() + 12, thrice.data() + 12, twice.size() - 12) != 0)
            __builtin_trap();
        reader.previous = first;
    }
    return 0;
}
