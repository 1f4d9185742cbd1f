#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/ast_nodes.h"
#include "source/node.h"

namespace {

using NodeRef = _KNode<qeAbstractNode>;

NodeRef make(uint32_t kind, const char* text = nullptr) { return makeAstNode(kind, text); }

// An owner that notes, when its node lets it go, its name and how many of the
// test's nodes were still registered at that moment.
std::string gReleases;
size_t gRegistryBase = 0;

struct NamedOwner : qestl::CountedObject {
    explicit NamedOwner(const char* n) : name(n) {}
    const char* name;
};

void noteRelease(qestl::CountedObject* object) {
    auto* owner = static_cast<NamedOwner*>(object);
    gReleases += owner->name;
    gReleases += std::to_string(LiveNodeRegistry::count() - gRegistryBase);
    gReleases += ' ';
    delete owner;
}

NodeRef owned(const char* name) {
    NodeRef node = make(NodeKind::Name, name);
    node->setOwner(new NamedOwner(name), noteRelease);
    return node;
}

TEST(NodeHandle, SelfAssignmentKeepsTheNode) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    NodeRef node = make(NodeKind::Name, "x");
    const NodeRef& alias = node;
    node = alias;
    ASSERT_TRUE(node);
    EXPECT_EQ(node->refCount, 1u);
    EXPECT_TRUE(LiveNodeRegistry::contains(node.get()));
    EXPECT_EQ(node->text, std::string_view("x"));
}

TEST(NodeHandle, AssigningTheOnlyHolderOfANodeKeepsThatNode) {
    // The old node holds the only reference to the new one.
    NodeRef outer = make(NodeKind::Block);
    outer->children.pushBack(make(NodeKind::Name, "inner"));
    outer = outer->children[0];
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->text, std::string_view("inner"));
    EXPECT_EQ(outer->refCount, 1u);
}

// A node's teardown: its annotation list, its owner, its children in order
// (each subtree whole), then its operands; each node leaves the registry
// before its own teardown starts.
TEST(NodeRelease, SubtreeGoesInTheDestructorsOrder) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    gReleases.clear();
    gRegistryBase = LiveNodeRegistry::count();
    {
        NodeRef parent = owned("P");
        parent->setAnnotations(owned("A"));
        NodeRef first = owned("C");
        first->children.pushBack(owned("G"));
        parent->children.pushBack(first);
        parent->children.pushBack(owned("D"));
        parent->operands.pushBack(owned("O"));
        parent->operands.pushBack(NodeRef());
        EXPECT_EQ(LiveNodeRegistry::count() - gRegistryBase, 6u);
    }
    EXPECT_EQ(gReleases, "A4 P4 C3 G2 D1 O0 ");
    EXPECT_EQ(LiveNodeRegistry::count(), gRegistryBase);
}

TEST(NodeRelease, ASharedChildOutlivesItsParent) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    gReleases.clear();
    gRegistryBase = LiveNodeRegistry::count();
    NodeRef child = owned("K");
    {
        NodeRef parent = make(NodeKind::Block);
        parent->children.pushBack(child);
        parent->operands.pushBack(child);
        EXPECT_EQ(child->refCount, 3u);
    }
    EXPECT_EQ(gReleases, "");
    EXPECT_EQ(child->refCount, 1u);
    EXPECT_TRUE(LiveNodeRegistry::contains(child.get()));
    child.reset();
    EXPECT_EQ(gReleases, "K0 ");
}

// An owner that holds nodes of its own: its release starts a release inside
// the one under way, which must finish before the outer one goes on.
struct TreeOwner : qestl::CountedObject {
    NodeRef held;
};

void releaseTreeOwner(qestl::CountedObject* object) {
    gReleases += "T ";
    delete static_cast<TreeOwner*>(object);
}

TEST(NodeRelease, AnOwnerReleasingNodesOfItsOwnNestsInside) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    gReleases.clear();
    gRegistryBase = LiveNodeRegistry::count();
    {
        NodeRef parent = owned("P");
        auto* owner = new TreeOwner();
        owner->held = owned("H");
        for (int i = 0; i < 100; ++i) owner->held->operands.pushBack(make(NodeKind::Name));
        owner->held->children.pushBack(owned("J"));
        NodeRef middle = make(NodeKind::Block);
        middle->setOwner(owner, releaseTreeOwner);
        middle->children.pushBack(owned("M"));
        parent->children.pushBack(middle);
        parent->children.pushBack(owned("Z"));
    }
    // H, its child J and its 100 operands leave while the tree owner is
    // released, before the middle node's own child M.
    EXPECT_EQ(gReleases, "P105 T H103 J102 M1 Z0 ");
    EXPECT_EQ(LiveNodeRegistry::count(), gRegistryBase);
}

TEST(NodeRelease, DestroyingANodeOutrightReleasesWhatItHolds) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    const size_t base = LiveNodeRegistry::count();
    qeAbstractNode* node = newAstNode(qeAbstractNode());
    node->children.pushBack(make(NodeKind::Name));
    EXPECT_EQ(node->refCount, 0u);
    EXPECT_EQ(LiveNodeRegistry::count(), base + 2);
    destroyAstNode(node);
    EXPECT_EQ(LiveNodeRegistry::count(), base);
}

TEST(NodeOwner, ReplacingAnOwnerReleasesTheOldOneOnce) {
    if (!kListsLiveNodes) GTEST_SKIP() << "an optimised build lists no nodes";
    gReleases.clear();
    gRegistryBase = LiveNodeRegistry::count();
    NodeRef node = make(NodeKind::Name);
    auto* owner = new NamedOwner("X");
    node->setOwner(owner, noteRelease);
    node->setOwner(owner, noteRelease);  // the same owner again: still alive
    EXPECT_EQ(owner->referenceCount(), 1u);
    node->setOwner(new NamedOwner("Y"), noteRelease);
    EXPECT_EQ(gReleases, "X1 ");
    node.reset();
    EXPECT_EQ(gReleases, "X1 Y0 ");
}

// The owner and the declared object share the side word while they are one
// object; either survives the other's change, a copy counts the owner.
TEST(NodeOwner, DeclaredObjectOutlivesAnOwnerLetGo) {
    auto* first = new NamedOwner("A");
    first->addReference();  // the test's own
    NodeRef node = make(NodeKind::Class);
    node->setOwner(first);
    node->setDeclaredObject(first);
    EXPECT_EQ(node->owner(), first);
    EXPECT_EQ(node->declaredObject(), first);
    {
        qeAbstractNode copy(*node);
        EXPECT_EQ(copy.declaredObject(), first);
        EXPECT_EQ(first->referenceCount(), 3u);
    }
    node->releaseOwner();
    EXPECT_EQ(node->owner(), nullptr);
    EXPECT_EQ(node->declaredObject(), first);
    auto* second = new NamedOwner("B");
    node->setOwner(second);  // a second object: the two go to a side record
    EXPECT_EQ(node->owner(), second);
    EXPECT_EQ(node->declaredObject(), first);
    node->setDeclaredObject(nullptr);
    EXPECT_EQ(node->declaredObject(), nullptr);
    EXPECT_EQ(node->owner(), second);
    EXPECT_EQ(first->referenceCount(), 1u);
    node.reset();
    delete first;
}

// Once nothing declares any more, a node lets go of an object held
// elsewhere as well, keeps one that it alone holds, and keeps its record.
TEST(NodeOwner, DroppingBareWordsKeepsWhatOnlyTheNodeHolds) {
    auto* shared = new NamedOwner("S");
    shared->addReference();  // the test's own
    NodeRef declared = make(NodeKind::Class);
    declared->setOwner(shared);
    declared->setDeclaredObject(shared);
    auto* alone = new NamedOwner("A");
    NodeRef method = make(NodeKind::Method);
    method->setOwner(alone);
    auto* recordOwner = new NamedOwner("R");
    recordOwner->addReference();
    NodeRef recorded = make(NodeKind::Method);
    recorded->setDocComment("// kept");
    recorded->setOwner(recordOwner);
    // Enough words that the table is sifted at all.
    std::vector<NodeRef> filler;
    while (filler.size() < qeAbstractNode::kFewestSiftedWords) {
        filler.push_back(make(NodeKind::Method));
        filler.back()->setOwner(shared);
    }
    qeAbstractNode::dropBareSideWords();
    EXPECT_EQ(declared->owner(), nullptr);
    EXPECT_EQ(declared->declaredObject(), nullptr);
    EXPECT_EQ(shared->referenceCount(), 1u);
    EXPECT_EQ(method->owner(), alone);
    EXPECT_EQ(alone->referenceCount(), 1u);
    EXPECT_EQ(recorded->owner(), recordOwner);
    EXPECT_EQ(recordOwner->referenceCount(), 2u);
    EXPECT_EQ(std::string(recorded->docComment().c_str()), "// kept");
    declared.reset();
    method.reset();
    recorded.reset();
    filler.clear();
    delete shared;
    delete recordOwner;
}

TEST(NodeConstruction, SerialsCountUpAndCopiesKeepThem) {
    qeAbstractNode first;
    qeAbstractNode second;
    EXPECT_EQ(second.serial, first.serial + 1);
    EXPECT_EQ(second.kind, 0u);
    EXPECT_EQ(second.owner(), nullptr);

    second.refCount = 7;
    qeAbstractNode copy(second);
    EXPECT_EQ(copy.serial, second.serial);
    EXPECT_EQ(copy.refCount, 7u);

    qeAbstractNode next;
    EXPECT_EQ(next.serial, second.serial + 1);  // the copy took none
}

TEST(NodeConstruction, PlacingAPrototypeCountsWhatItRefersTo) {
    NodeRef child = make(NodeKind::Name);
    auto* owner = new NamedOwner("Q");
    NodeRef placed;
    {
        qeAbstractNode prototype;
        prototype.children.pushBack(child);
        prototype.setAnnotations(child);
        prototype.editExtras().operandIndices.pushBack(4);
        prototype.setOwner(owner, noteRelease);
        placed = NodeRef(newAstNode(prototype));
        EXPECT_EQ(placed->serial, prototype.serial);
        EXPECT_EQ(child->refCount, 5u);
        EXPECT_EQ(owner->referenceCount(), 2u);
    }
    EXPECT_EQ(placed->refCount, 1u);
    EXPECT_EQ(child->refCount, 3u);
    EXPECT_EQ(owner->referenceCount(), 1u);
    ASSERT_EQ(placed->extras().operandIndices.size(), 1u);
    EXPECT_EQ(placed->extras().operandIndices[0], 4u);
}

TEST(NodeConstruction, APositionNodeTakesOnlyThePosition) {
    NodeRef source = make(NodeKind::Call, "f");
    source->fileIndex = 3;
    source->startLine = 4;
    source->startColumn = 5;
    source->endLine = 6;
    source->endColumn = 7;
    source->textStart = 8;
    source->textEnd = 9;
    qeAbstractNode at(source);
    EXPECT_EQ(at.kind, 0u);
    EXPECT_TRUE(at.text.empty());
    EXPECT_GT(at.serial, source->serial);
    EXPECT_EQ(at.fileIndex, 3u);
    EXPECT_EQ(at.startLine + at.startColumn + at.endLine + at.endColumn, 4u + 5 + 6 + 7);
    EXPECT_EQ(at.textEnd - at.textStart, 1u);
}

TEST(NodeOperands, PrependPutsTheHandleFirstAndDropsTheArgument) {
    NodeRef call = make(NodeKind::Call);
    call->operands.pushBack(make(NodeKind::Name, "b"));
    NodeRef first = make(NodeKind::Name, "a");
    call->prependOperand(first);
    ASSERT_EQ(call->operands.size(), 2u);
    EXPECT_EQ(call->operands[0].get(), first.get());
    EXPECT_EQ(call->operands[1]->text, std::string_view("b"));
    EXPECT_EQ(first->refCount, 2u);
}

TEST(NodeClone, SerialsAreMarkedAndEmptySlotsKept) {
    qeAbstractNode prototype;
    prototype.serial = 5;
    prototype.kind = NodeKind::Call;
    prototype.flags = 0x0E000003u;
    prototype.textStart = 10;
    NodeRef source(newAstNode(prototype));
    source->operands.pushBack(make(NodeKind::Name, "f"));
    source->operands.pushBack(NodeRef());
    source->operands.pushBack(make(NodeKind::List));

    NodeRef top;
    cloneAstNode(source.get(), top);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->serial, 0x80000005u);
    EXPECT_EQ(top->flags, 0x3u);
    EXPECT_EQ(top->textStart, 0u);
    ASSERT_EQ(top->operands.size(), 3u);
    EXPECT_TRUE(top->operands[0]);
    EXPECT_FALSE(top->operands[1]);
    EXPECT_EQ(top->operands[2]->kind, NodeKind::List);
    EXPECT_NE(top->operands[0].get(), source->operands[0].get());
    EXPECT_EQ(top->operands[0]->serial, source->operands[0]->serial | kCloneSerialBit);

    NodeRef whole;
    cloneAstSubtree(source.get(), whole);
    EXPECT_EQ(whole->textStart, 10u);
}

// An annotation list: annotations are its operands, their parameters are
// theirs, and a parameter's first operand holds the value.
NodeRef annotation(const char* name, std::initializer_list<std::pair<const char*, const char*>> parameters) {
    NodeRef node = make(NodeKind::Annotation, name);
    for (const auto& [key, value] : parameters) {
        NodeRef parameter = make(NodeKind::Name, key);
        if (value != nullptr) parameter->operands.pushBack(make(NodeKind::StringLiteral, value));
        node->operands.pushBack(parameter);
    }
    return node;
}

TEST(NodeAnnotations, LookUpsSearchTheFirstMatchingAnnotationOnly) {
    NodeRef declaration = make(NodeKind::Method, "f");
    EXPECT_FALSE(declaration->hasAnnotation("Native"));
    EXPECT_EQ(declaration->getAnnotationParameter("Native", "lib"), nullptr);

    declaration->setAnnotations(make(NodeKind::AnnotationList));
    AstNodeVector& list = declaration->annotations()->operands;
    list.pushBack(NodeRef());
    list.pushBack(annotation("Native", {{"lib", nullptr}, {"lib", "a.so"}}));
    list.pushBack(annotation("Native", {{"conv", "cdecl"}, {"lib", "b.so"}}));
    list.pushBack(annotation("", {{"", "anonymous"}}));

    EXPECT_TRUE(declaration->hasAnnotation("Native"));
    EXPECT_FALSE(declaration->hasAnnotation("Nativ"));
    EXPECT_FALSE(declaration->hasAnnotation("Natives"));
    EXPECT_FALSE(declaration->hasAnnotation("native"));
    EXPECT_STREQ(declaration->getAnnotationParameter("Native", "lib"), "a.so");  // the valueless one is passed over
    EXPECT_EQ(declaration->getAnnotationParameter("Native", "conv"), nullptr);  // only in the second
    EXPECT_EQ(declaration->getAnnotationParameter("Missing", "lib"), nullptr);
    EXPECT_TRUE(declaration->hasAnnotation(nullptr));
    EXPECT_STREQ(declaration->getAnnotationParameter(nullptr, nullptr), "anonymous");
}

}  // namespace

namespace {

// Texts of up to 16 bytes are stored once however many nodes carry them,
// longer ones and numbers once per setText; every way of writing one leaves
// a terminated text of the right length, its own text included.
TEST(NodeText, ShortTextsAreSharedAndLongerOnesStoredApart) {
    NodeRef node = make(NodeKind::Name);
    EXPECT_STREQ(node->text.c_str(), "");
    EXPECT_TRUE(node->text.empty());
    NodeRef other = make(NodeKind::Name);
    const std::string sixteen(16, 's');
    const std::string seventeen(17, 's');
    node->setText(sixteen);
    other->setText(sixteen);
    EXPECT_EQ(node->text.c_str(), other->text.c_str());
    EXPECT_EQ(node->text.length(), 16u);
    node->setText(seventeen);
    other->setText(seventeen);
    EXPECT_NE(node->text.c_str(), other->text.c_str());
    EXPECT_EQ(other->text.view(), seventeen);
    EXPECT_EQ(node->text.c_str()[17], 0);
    node->setText("1234");  // a number's spelling is stored apart
    other->setText("1234");
    EXPECT_NE(node->text.c_str(), other->text.c_str());
    EXPECT_EQ(other->text.view(), "1234");

    node->setText("abcdefgh");
    node->setText(node->text.view().substr(1, 2));  // its own text
    EXPECT_STREQ(node->text.c_str(), "bc");
    EXPECT_EQ(node->text.length(), 2u);
    node->setText(seventeen + "tail");
    node->setText(node->text.view().substr(15));  // its own longer text, now short
    EXPECT_STREQ(node->text.c_str(), "sstail");

    // One-byte texts, every byte value (a zero byte included), and their
    // neighbours of two bytes.
    for (int c = 0; c < 256; ++c) {
        const char byte = static_cast<char>(c);
        node->setText(std::string_view(&byte, 1));
        other->setText(std::string(2, byte));
        ASSERT_EQ(node->text.length(), 1u);
        ASSERT_EQ(node->text[0], byte);
        ASSERT_EQ(node->text.c_str()[1], 0);
        ASSERT_EQ(other->text.view(), std::string(2, byte));
    }
    other->setText(node->text.view());
    EXPECT_EQ(node->text.c_str(), other->text.c_str());
    node->setText("sstail");

    // Packed, the table of shared texts is made again as it was by the next
    // store: the same texts keep their references.
    const uint32_t twoBytes = nodetext::store("zz");
    nodetext::packSharedTexts();
    nodetext::packSharedTexts();
    other->setText("sstail");
    EXPECT_EQ(other->text.reference(), node->text.reference());
    EXPECT_EQ(nodetext::store("zz"), twoBytes);

    NodeRef copy(newAstNode(*node));
    copy->setText("x");
    EXPECT_STREQ(node->text.c_str(), "sstail");
    EXPECT_STREQ(copy->text.c_str(), "x");
    NodeRef empty = make(NodeKind::Name);
    EXPECT_STREQ(empty->text.c_str(), "");  // untouched by the other nodes' writes
}

// A copy shares a longer text, which never changes: a new text for either
// node never shows in the other, and a very long text reads back whole.
TEST(NodeText, LongTextsAreNeverChangedUnderAnotherNode) {
    NodeRef first = make(NodeKind::Name);
    first->setText("values and more");
    NodeRef second(newAstNode(*first));
    EXPECT_EQ(second->text, std::string_view("values and more"));
    first->setText("tot");
    EXPECT_STREQ(second->text.c_str(), "values and more");
    second->setText(second->text.view().substr(7));
    EXPECT_STREQ(second->text.c_str(), "and more");
    EXPECT_STREQ(first->text.c_str(), "tot");

    // Larger than a chunk of the store: a chunk of its own, and the texts
    // after it still go where they belong.
    const std::string large(3 << 20, 'x');
    first->setText(large);
    EXPECT_EQ(first->text.view(), large);
    EXPECT_EQ(first->text.c_str()[large.size()], 0);
    EXPECT_STREQ(second->text.c_str(), "and more");
    second->setText("after the large one");
    EXPECT_STREQ(second->text.c_str(), "after the large one");
    EXPECT_EQ(first->text.view(), large);
}

// A text extended over and over (a long constant string sum) reads back
// whole at every step, past the size of a chunk, while texts taken from it
// on the way and the texts of a second extended node stay as they were.
TEST(NodeText, ExtendingATextKeepsEveryOtherText) {
    NodeRef sum = make(NodeKind::StringLiteral);
    NodeRef other = make(NodeKind::StringLiteral);
    NodeRef taken = make(NodeKind::Name);
    sum->setText("a");
    std::string expected = "a", snapshot;
    for (int i = 0; i < 300000; ++i) {
        const std::string_view piece = i % 3 == 0 ? std::string_view("bc") : std::string_view("d");
        sum->text.append(piece);
        expected.append(piece);
        if (i == 20) {
            taken->setText(sum->text.view());
            snapshot = expected;
            other->setText("o");
            for (int k = 0; k < 20; ++k) other->text.append("pq");
        }
    }
    EXPECT_EQ(sum->text.view(), expected);
    EXPECT_EQ(sum->text.c_str()[expected.size()], 0);
    EXPECT_EQ(taken->text.view(), snapshot);
    std::string pairs;
    for (int k = 0; k < 20; ++k) pairs.append("pq");
    EXPECT_EQ(other->text.view(), "o" + pairs);
    other->text.append("");
    EXPECT_EQ(other->text.length(), 41u);
}

}  // namespace
