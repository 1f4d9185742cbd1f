#include <gtest/gtest.h>

#include <array>
#include <initializer_list>

#include "source/ast_nodes.h"
#include "source/node.h"

namespace {

_KNode<qeAbstractNode> named(uint32_t kind, const char* text) { return makeAstNode(kind, text); }

// An annotation list holding @name(parameter = value) for each triple.
_KNode<qeAbstractNode> annotationList(std::initializer_list<std::array<const char*, 3>> entries) {
    _KNode<qeAbstractNode> list = named(NodeKind::AnnotationList, nullptr);
    for (const auto& [name, parameter, value] : entries) {
        _KNode<qeAbstractNode> annotation = named(NodeKind::Annotation, name);
        if (parameter != nullptr) {
            _KNode<qeAbstractNode> argument = named(NodeKind::Name, parameter);
            if (value != nullptr) argument->operands.pushBack(named(NodeKind::Name, value));
            annotation->operands.pushBack(argument);
        }
        list->operands.pushBack(annotation);
    }
    return list;
}

class CountingOwner : public qestl::CountedObject {
public:
    static int released;
};
int CountingOwner::released = 0;

TEST(Node, HandlesCountAndTheLastReleaseFreesTheSubtree) {
    size_t before = LiveNodeRegistry::count();
    {
        _KNode<qeAbstractNode> parent = named(NodeKind::Expression, "+");
        parent->operands.pushBack(named(NodeKind::Name, "a"));
        parent->children.pushBack(named(NodeKind::Name, "b"));
        EXPECT_EQ(parent->refCount, 1u);
        EXPECT_EQ(LiveNodeRegistry::count(), before + 3);

        parent = parent;  // self-assignment keeps the node
        EXPECT_EQ(parent->refCount, 1u);
        _KNode<qeAbstractNode> copy = parent;
        EXPECT_EQ(parent->refCount, 2u);
        copy.reset();
        EXPECT_EQ(parent->refCount, 1u);
        EXPECT_TRUE(LiveNodeRegistry::contains(parent.base()));
    }
    EXPECT_EQ(LiveNodeRegistry::count(), before);
}

TEST(Node, DeepChainsReleaseWithoutDeepRecursion) {
    size_t before = LiveNodeRegistry::count();
    _KNode<qeAbstractNode> chain = named(NodeKind::Name, "a");
    for (int i = 0; i < 300000; ++i) {
        _KNode<qeAbstractNode> sum = named(NodeKind::Expression, "+");
        sum->operands.pushBack(chain);
        sum->operands.pushBack(named(NodeKind::Name, "b"));
        chain = sum;
    }
    chain.reset();  // on the test's ordinary stack
    EXPECT_EQ(LiveNodeRegistry::count(), before);
}

TEST(Node, SerialsAndPrototypeCopies) {
    qeAbstractNode first;
    qeAbstractNode second;
    EXPECT_EQ(second.serial, first.serial + 1);

    qeAbstractNode prototype;
    prototype.kind = NodeKind::Call;
    prototype.flags = 0x2;
    prototype.values0.pushBack(7);
    prototype.operands.pushBack(named(NodeKind::Name, "f"));
    CountingOwner* owner = new CountingOwner();
    prototype.setOwner(owner, [](qestl::CountedObject* object) {
        ++CountingOwner::released;
        delete object;
    });
    EXPECT_EQ(owner->referenceCount(), 1u);
    {
        _KNode<qeAbstractNode> placed(newAstNode(prototype));
        EXPECT_EQ(placed->serial, prototype.serial);
        EXPECT_EQ(placed->values0[0], 7u);
        EXPECT_EQ(placed->operands[0]->refCount, 2u);  // shared with the prototype
        EXPECT_EQ(owner->referenceCount(), 2u);
    }
    EXPECT_EQ(owner->referenceCount(), 1u);
    CountingOwner::released = 0;
    prototype.releaseOwner();
    EXPECT_EQ(CountingOwner::released, 1);
}

TEST(Node, ClonesMarkTheirSerial) {
    _KNode<qeAbstractNode> source = named(NodeKind::Class, "A");
    source->flags = (7u << 25) | 1u;
    _KNode<qeAbstractNode> clone;
    cloneAstNode(source.get(), clone);
    EXPECT_EQ(clone->serial, source->serial | 0x80000000u);
    EXPECT_EQ(clone->flags, 1u);
}

TEST(Node, AnnotationLookups) {
    qeAbstractNode node;
    EXPECT_FALSE(node.hasAnnotation("Deprecated"));
    EXPECT_EQ(node.getAnnotationParameter("Require", "name"), nullptr);

    node.annotations = annotationList({{"Require", "name", "first"},
                                       {"Deprecated", nullptr, nullptr},
                                       {"Require", "name", "second"},
                                       {"Compiler", "flag", nullptr}});
    EXPECT_TRUE(node.hasAnnotation("Deprecated"));
    EXPECT_FALSE(node.hasAnnotation("Deprecate"));
    EXPECT_FALSE(node.hasAnnotation(nullptr));
    EXPECT_STREQ(node.getAnnotationParameter("Require", "name"), "first");  // only the first is searched
    EXPECT_EQ(node.getAnnotationParameter("Compiler", "flag"), nullptr);    // a parameter without value
    EXPECT_EQ(node.getAnnotationParameter("Require", "other"), nullptr);
}

TEST(Node, PrependOperand) {
    _KNode<qeAbstractNode> list = named(NodeKind::List, nullptr);
    list->operands.pushBack(named(NodeKind::Name, "b"));
    list->prependOperand(named(NodeKind::Name, "a"));
    ASSERT_EQ(list->operands.size(), 2u);
    EXPECT_STREQ(list->operands[0]->text.c_str(), "a");
    EXPECT_EQ(list->operands[0]->refCount, 1u);
}

}  // namespace
