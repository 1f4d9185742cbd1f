// Class records of link libraries read in an order the library chooses: a
// derived class read before the base that owns its anonymous-properties
// container waits for it, and a library that ends with a class still waiting
// is refused; template-method keys must fit the bytes left. Native imports
// refuse a parameter the binding has no place for; a heap writes only its
// classes.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "model/class_object.h"
#include "model/image_heap.h"
#include "model/library_io.h"
#include "model/native_import.h"

namespace {

using model::ClassObject;
using qestl::SmartPtr;

// References by record number: the writer numbers the objects it is given,
// the reader hands back the objects registered under those numbers.
class NumberWriter final : public model::LibraryWriter {
public:
    using LibraryWriter::LibraryWriter;
    std::map<const void*, uint32_t> numbers;
    bool nothingFails = false;
    bool writeObjectRef(const SmartPtr& object) override {
        out.u32le(object ? numbers.at(object.get()) : 0);
        return true;
    }
    // The "nothing" tag is 62 here, as in link libraries.
    bool writeNothingRef() override {
        out.u32le(62);
        return !nothingFails;
    }
    bool writeDeclarationTree(const _KNode<qeAbstractNode>&) override {
        out.u32le(0);
        return true;
    }
};

class NumberReader final : public model::LibraryReader {
public:
    using LibraryReader::LibraryReader;
    std::map<uint32_t, SmartPtr> objects;
    bool readObjectRef(SmartPtr& object) override {
        const uint32_t number = in.u32le();
        if (!in.ok()) return false;
        object = number ? objects[number] : SmartPtr();
        return true;
    }
    bool readDeclarationTree(_KNode<qeAbstractNode>&) override { return in.u32le() == 0 && in.ok(); }
};

// Writes the records of base (number 1) and derived (number 2), derived first.
qestl::ByteVector writeDerivedFirst(ClassObject& base, ClassObject& derived) {
    qestl::ByteVector bytes;
    NumberWriter writer(bytes);
    writer.numbers = {{&base, 1}, {&derived, 2}};
    EXPECT_TRUE(derived.writeToLibrary(writer));
    EXPECT_TRUE(base.writeToLibrary(writer));
    return bytes;
}

SmartPtr readRecord(NumberReader& reader, uint32_t number) {
    const uint32_t kind = reader.in.u32le();
    reader.in.u64le();
    SmartPtr made = reader.objects[number];
    return made.as<ClassObject>()->readFromLibrary(kind, reader) ? made : SmartPtr();
}

// Until its base is read the library is incomplete: the loader refuses a
// library that ends in that state.
TEST(ClassLibrary, ADerivedClassWaitsForTheAnonymousContainerOfItsBase) {
    SmartPtr base = model::makeClass("Base", SmartPtr()), derived = model::makeClass("Derived", SmartPtr());
    derived.as<ClassObject>()->setBaseClass(base);
    const qestl::ByteVector bytes = writeDerivedFirst(*base.as<ClassObject>(), *derived.as<ClassObject>());

    NumberReader reader(bytes.data(), bytes.size());
    reader.objects = {{1, model::makeClass("", SmartPtr())}, {2, model::makeClass("", SmartPtr())}};
    SmartPtr readDerived = readRecord(reader, 2);
    ASSERT_TRUE(readDerived);
    EXPECT_EQ(readDerived.as<ClassObject>()->anonymousTableIfMade(), nullptr);
    EXPECT_FALSE(reader.anonymousLinksComplete());
    SmartPtr readBase = readRecord(reader, 1);
    ASSERT_TRUE(readBase);
    EXPECT_TRUE(reader.anonymousLinksComplete());
    EXPECT_EQ(readDerived.as<ClassObject>()->anonymousTableIfMade(), readBase.as<ClassObject>()->anonymousTable());
    EXPECT_EQ(readDerived.as<ClassObject>()->baseClass, readBase);
    for (SmartPtr* held : {&base, &derived, &readBase, &readDerived}) held->as<ClassObject>()->detach();
}

TEST(ClassLibrary, ATemplateMethodKeyMustFitTheBytesLeft) {
    SmartPtr owner = model::makeClass("Owner", SmartPtr());
    SmartPtr method = model::makeFunction("make", SmartPtr());
    owner.as<ClassObject>()->editRareClass().templateMethodIndex.insert("make", method);
    qestl::ByteVector bytes;
    NumberWriter writer(bytes);
    writer.numbers = {{owner.get(), 1}, {method.get(), 2}};
    ASSERT_TRUE(owner.as<ClassObject>()->writeToLibrary(writer));
    // The key length sits 12 bytes from the end: length, "make", reference.
    for (uint32_t length : {4u, 5u, 0xFFFFFFF0u}) {
        qestl::ByteVector changed = bytes;
        qestl::storeU32LE(changed.data() + changed.size() - 12, length);
        NumberReader reader(changed.data(), changed.size());
        reader.objects = {{1, model::makeClass("", SmartPtr())}, {2, method}};
        SmartPtr read = readRecord(reader, 1);
        EXPECT_EQ(static_cast<bool>(read), length == 4) << length;
        if (read) {
            EXPECT_TRUE(read.as<ClassObject>()->rareClass().templateMethodIndex.find("make"));
        }
        reader.objects[1].as<ClassObject>()->detach();
    }
    owner.as<ClassObject>()->detach();
}

// A heap carries its classes and nothing else into a library; every entry
// written is checked, the "nothing" ones too.
TEST(ImageHeap, WritesItsClassesAndNothingForTheOthers) {
    model::cbHeap heap;
    SmartPtr klass = model::makeClass("K", SmartPtr());
    for (const char* name : {"g1", "g2"})
        heap.findOrCreate(name, model::makeObject(name, model::kKindVariable, SmartPtr(), 0));
    heap.findOrCreate("K", klass);
    heap.findOrCreate("g3", model::makeObject("g3", model::kKindVariable, SmartPtr(), 0));
    qestl::ByteVector bytes;
    NumberWriter writer(bytes);
    writer.numbers = {{klass.get(), 5}};
    ASSERT_TRUE(heap.writeToLibrary(writer));
    const uint32_t want[] = {10, 0, 4, 62, 62, 5, 62};
    ASSERT_EQ(bytes.size(), sizeof want);
    for (size_t i = 0; i < std::size(want); ++i) EXPECT_EQ(qestl::loadU32LE(bytes.data() + 4 * i), want[i]) << i;
    qestl::ByteVector refused;
    NumberWriter failing(refused);
    failing.numbers = writer.numbers;
    failing.nothingFails = true;
    EXPECT_FALSE(heap.writeToLibrary(failing));
    heap.clear();
    EXPECT_EQ(heap.kind(), model::kImageHeap);
    EXPECT_TRUE(heap.members().empty());
    klass.as<ClassObject>()->detach();
}

// Let go of, the heap's index comes back as it was: a class holder and a
// static field's value still left out, a static field found under its key.
TEST(ImageHeap, AReleasedIndexComesBackAsItWas) {
    model::cbHeap heap;
    auto made = [](const char* name, uint32_t kind) { return model::makeObject(name, kind, SmartPtr(), 0); };
    heap.findOrCreate("g", made("g", model::kKindVariable));
    heap.appendClassHolder(model::ClassHolder::make("$class1@K"));
    heap.findOrCreate("$K@f", made("f", model::kKindVariable));
    heap.appendUnlisted(made("s", model::kKindVariable));
    // A small heap keeps its index.
    std::vector<std::string> names;
    while (heap.members().size() < model::Container::kFewestReleased) {
        names.push_back("v" + std::to_string(heap.members().size()));
        heap.findOrCreate(names.back(), made(names.back().c_str(), model::kKindVariable));
    }
    heap.releaseIndex();
    auto listed = [&](std::string_view name) {
        const model::IndexList* found = heap.indexesOf(qestl::HashedText(name));
        return found == nullptr || found->empty() ? -1 : static_cast<int>(found->front());
    };
    EXPECT_EQ(listed("g"), 0);
    EXPECT_EQ(listed("$class1@K"), -1);
    EXPECT_EQ(listed("$K@f"), 2);
    EXPECT_EQ(listed("f"), -1);
    EXPECT_EQ(listed("s"), -1);
    EXPECT_EQ(listed("v4"), 4);
    EXPECT_EQ(heap.members().size(), model::Container::kFewestReleased);
}

TEST(NativeImport, TheBindingRefusesAParameterPastItsPlaces) {
    SmartPtr held = model::adoptLive(new model::ImportedFunction());
    auto& function = *held.as<model::ImportedFunction>();
    for (size_t i = 0; i < model::kMaxBindingParameters; ++i)
        EXPECT_TRUE(function.addParameter(model::makeObject("", model::kKindVariable, SmartPtr(), 0)));
    EXPECT_FALSE(function.addParameter(model::makeObject("", model::kKindVariable, SmartPtr(), 0)));
    EXPECT_EQ(function.binding[1], model::kMaxBindingParameters);
    EXPECT_EQ(function.parameterCount(), model::kMaxBindingParameters);
    function.detach();
}

}  // namespace

// An object read from a library is named by the identity read, in its record
// too; objects made afterwards get serials past it, so a library written
// later never gives its own objects a loaded one's identity. An identity no
// count of objects reaches (a crafted file) leaves the serials alone.
TEST(ClassLibrary, LoadedObjectsKeepTheirIdentity) {
    SmartPtr loaded = model::makeObject("v", model::kKindVariable, SmartPtr(), 0);
    auto* object = model::asObject(loaded);
    const uint64_t identity = object->serial() + 1000;
    object->setLibraryIdentity(identity);
    EXPECT_EQ(object->identity(), identity);
    SmartPtr later = model::makeObject("w", model::kKindVariable, SmartPtr(), 0);
    EXPECT_GT(model::asObject(later)->serial(), identity);
    EXPECT_EQ(model::asObject(later)->identity(), model::asObject(later)->serial());

    qestl::ByteVector bytes;
    NumberWriter writer(bytes);
    ASSERT_TRUE(object->writeToLibrary(writer));
    EXPECT_EQ(qestl::loadU64LE(bytes.data() + 4), identity);

    model::asObject(later)->setLibraryIdentity(UINT64_MAX - 1);
    SmartPtr after = model::makeObject("x", model::kKindVariable, SmartPtr(), 0);
    EXPECT_EQ(model::asObject(after)->serial(), model::asObject(later)->serial() + 1);
}
