// Lifetimes and copies of the model's records, and the library readers'
// stand-ins, which the probe scripts cannot observe.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/crc32.h"
#include "foundation/live_registry.h"
#include "model/container.h"
#include "model/function_object.h"
#include "model/ir_result.h"
#include "model/kept_objects.h"
#include "model/library_io.h"
#include "model/opcodes.h"

namespace {

using model::IRObject;
using qestl::SmartPtr;

uint64_t liveCount() { return qestl::liveObjectRegistry().size(); }

TEST(ModelCore, FlowChildrenStayInPlaceAndACopyLinksItsOwn) {
    model::FlowNode root;
    model::FlowNode& first = root.addChild(model::FlowNode::kSequence, nullptr, 0);
    first.addChild(model::FlowNode::kAlternative, nullptr, 0);
    for (int i = 0; i < 10; ++i) root.addChild(model::FlowNode::kAlternativeB, nullptr, 0);
    EXPECT_EQ(&root.children[0], &first);
    const model::FlowNode copy(root);
    ASSERT_EQ(copy.children.size(), 11u);
    EXPECT_NE(&copy.children[0], &first);
    EXPECT_EQ(copy.children[0].parent, &copy);
    EXPECT_EQ(copy.children[0].children[0].parent, &copy.children[0]);
    EXPECT_EQ(copy.children[10].kind, model::FlowNode::kAlternativeB);
}

TEST(ModelCore, ReleasingTheLastHolderUnregistersTheRecord) {
    if (!qestl::kRegistersLiveObjects) GTEST_SKIP() << "an optimised build keeps no registry";
    const uint64_t before = liveCount();
    {
        SmartPtr held = model::makeCheckEspInstruction(64);
        EXPECT_EQ(liveCount(), before + 1);
        EXPECT_EQ(held.as<model::cbircode>()->encodedSize(), 16u);
    }
    EXPECT_EQ(liveCount(), before);
}

TEST(ModelCore, CopyKeepsOperandsAndPositionButNotTheOwnerOrFlags) {
    SmartPtr target = model::makeObject("t", model::kKindVariable, SmartPtr(), 0);
    SmartPtr owner = model::makeObject("o", model::kKindVariable, SmartPtr(), 0);
    model::cbircode original(model::kOpMov, 2);
    original.operands[0].setObjectRef(target, 8);
    original.codeAddress = 300;
    original.keepFirstOperand = 1;
    original.imported = 1;
    original.resolvedOnce = 1;
    original.owner = owner;
    const uint32_t holders = target->referenceCount();
    model::cbircode copy(original);
    EXPECT_EQ(copy.opcode, model::kOpMov);
    EXPECT_EQ(copy.operandCount, 2u);
    EXPECT_EQ(copy.codeAddress, 300u);
    EXPECT_EQ(copy.keepFirstOperand, 1);
    EXPECT_EQ(copy.operands[0].target, target);
    EXPECT_EQ(copy.operands[0].displacement, 8);
    EXPECT_EQ(target->referenceCount(), holders + 1);
    EXPECT_FALSE(copy.owner);
    EXPECT_EQ(copy.imported, 0);
    EXPECT_EQ(copy.resolvedOnce, 0);
}

TEST(ModelCore, AZeroTailReadsAsAResolvedImmediateUntilASlotOfItIsWritten) {
    model::cbircode record;
    record.operandCount = 9;
    record.operands.reserveWithZeroTail(7);
    const model::OperandSlots& slots = record.operands;
    const auto readsZero = [](const model::Operand& operand) {
        return operand.kind == model::kImmInt && operand.dataType == model::kTypeInt &&
               operand.encodedKind == model::kImmInt && operand.value == 0 && operand.encodedValue() == 0;
    };
    EXPECT_EQ(slots.capacity(), 7u);
    EXPECT_EQ(slots.resolvable(9), 7u);
    EXPECT_TRUE(readsZero(slots[8]));
    model::cbircode copy(record);
    EXPECT_EQ(copy.operands.capacity(), 7u);
    EXPECT_TRUE(readsZero(std::as_const(copy.operands)[7]));
    record.operands[7] = model::Operand(5, model::kImmLong, model::kTypeLong);
    EXPECT_EQ(slots.resolvable(9), 9u);
    EXPECT_EQ(slots[7].value, 5);
    EXPECT_TRUE(readsZero(slots[8]));
}

TEST(ModelCore, DetachBreaksTheCycleBetweenAFunctionAndItsParameters) {
    const uint64_t before = liveCount();
    {
        SmartPtr function = model::makeFunction("f", SmartPtr());
        SmartPtr parameter = model::makeObject("p", model::kKindVariable, SmartPtr(), 0);
        parameter.as<IRObject>()->setOwner(model::IRResult(function));
        ASSERT_TRUE(function.as<model::FunctionObject>()->addParameter(parameter));
        parameter.reset();
        function->addReference();  // what a code list would hold
        function.as<model::FunctionObject>()->detach();
        function->release();
    }
    EXPECT_EQ(liveCount(), before);
}

// Past a handful of parameters the names are checked in a set and the link
// name grows by the parameter added: both must answer as a full scan and a
// full rebuild do, also when the function is renamed between two additions.
TEST(ModelCore, LongParameterListsKeepUniqueNamesAndTheFullLinkName) {
    SmartPtr types[2] = {model::makeObject("A", model::kKindClass, SmartPtr(), 0),
                         model::makeObject("B", model::kKindClass, SmartPtr(), 0)};
    SmartPtr function = model::makeFunction("f", types[0]);
    auto* f = function.as<model::FunctionObject>();
    auto add = [&](const std::string& name, int i) {
        return f->addParameter(model::makeObject(name, model::kKindVariable, types[i % 2], 0));
    };
    for (int i = 0; i < 40; ++i) {
        ASSERT_TRUE(add("p" + std::to_string(i), i));
        if (i == 30) {
            f->name.assign("g", 1);
            EXPECT_FALSE(add("p3", i));
            EXPECT_FALSE(add("p30", i));
        }
    }
    EXPECT_FALSE(add("p39", 0));
    EXPECT_EQ(f->parameterCount(), 40u);
    const std::string grown(f->linkName().view());
    f->buildLinkName();
    EXPECT_EQ(grown, std::string(f->linkName().view()));
    EXPECT_NE(grown.find("/g(/A,/B,"), std::string::npos) << grown;
    function.as<model::FunctionObject>()->detach();
}

// An unnamed value's link name, made at its first read, is the one it had
// when made: being made const since adds no "#C".
TEST(ModelCore, AnUnnamedValueReadsTheLinkNameItWasMadeWith) {
    const SmartPtr type = model::makeObject("A", model::kKindClass, SmartPtr(), 0);
    const SmartPtr value = model::makeObject("", model::kKindVariable, type, 0);
    model::asObject(value)->setConst(true);
    EXPECT_EQ(std::string(model::asObject(value)->linkName().view()), "/A@/");
    EXPECT_EQ(model::asObject(value)->signatureHash(0), qestl::crc32Update("/A@/", 4, 0));
    // Lent, it is made again after each give-back, as the next compilation reads it.
    const SmartPtr lent = model::makeObject("", model::kKindVariable, type, 0);
    model::KeptObjects kept;
    kept.keepReachableFrom({lent});
    EXPECT_EQ(std::string(model::asObject(lent)->linkName().view()), "/A@/");
    kept.restore();
    EXPECT_EQ(std::string(model::asObject(lent)->linkName().view()), "/A@/");
    kept.release();
}

// Clearing frees the chain (the leak check sees any piece left) and resets
// its tail, so an append after it must not write into a freed piece.
TEST(ModelCore, TemplatePiecesAreCountedFreedAndRestarted) {
    model::TemplateFunctionObject templ;
    templ.appendPiece().word = 1;
    templ.appendPiece().word = 2;
    EXPECT_EQ(templ.pieceCount(), 2u);
    templ.clearPieces();
    EXPECT_EQ(templ.pieceCount(), 0u);
    templ.appendPiece().word = 3;
    EXPECT_EQ(templ.pieceCount(), 1u);
}

// References are u32 tags: 0 nothing, 1 a fixed object.
class TagReader final : public model::LibraryReader {
public:
    TagReader(const uint8_t* data, size_t size) : LibraryReader(data, size) {
        known = model::makeObject("known", model::kKindClass, SmartPtr(), 0);
    }
    bool readObjectRef(SmartPtr& object) override {
        const uint32_t tag = in.u32le();
        if (!in.ok() || tag > 1) return false;
        object = tag ? known : SmartPtr();
        return true;
    }
    bool readDeclarationTree(_KNode<qeAbstractNode>&) override { return false; }
    SmartPtr known;
};

TEST(ModelCore, ContainerReaderStandsInForMissingMembersExceptInTheHeap) {
    const uint8_t frame[] = {9, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0};
    TagReader reader(frame, sizeof frame);
    model::Container container(0);
    ASSERT_TRUE(container.readFromLibrary(reader));
    ASSERT_EQ(container.members().size(), 3u);
    EXPECT_EQ(container.members()[1], reader.known);
    const IRObject* standIn = container.members()[0].as<IRObject>();
    EXPECT_EQ(standIn->name.c_str()[0], '$');
    ASSERT_NE(container.indexesOf("known"), nullptr);
    EXPECT_EQ(container.indexesOf("known")->front(), 1u);
    container.clear();

    uint8_t heap[sizeof frame];
    std::copy(frame, frame + sizeof frame, heap);
    heap[0] = 10;
    TagReader heapReader(heap, sizeof heap);
    model::Container heapContainer(0);
    ASSERT_TRUE(heapContainer.readFromLibrary(heapReader));
    ASSERT_EQ(heapContainer.members().size(), 1u);
    EXPECT_EQ(heapContainer.indexesOf("known")->front(), 0u);
    heapContainer.clear();
}

TEST(ModelCore, ContainerReaderRefusesACountTheBytesCannotHold) {
    const uint8_t damaged[] = {9, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    TagReader reader(damaged, sizeof damaged);
    model::Container container(0);
    EXPECT_FALSE(container.readFromLibrary(reader));
    EXPECT_TRUE(container.members().empty());
}

TEST(ModelCore, SameKeptBytesReadsEveryByteOfTheRange) {
    const char a[] = "0123456789abcdefX", b[] = "0123456789abcdefY";
    EXPECT_TRUE(model::sameKeptBytes(a, b, 16));
    EXPECT_FALSE(model::sameKeptBytes(a, b, 17));
    EXPECT_FALSE(model::sameKeptBytes(a, b + 1, 3));
}

}  // namespace
