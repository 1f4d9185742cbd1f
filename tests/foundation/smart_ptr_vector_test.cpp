#include <gtest/gtest.h>

#include <vector>

#include "foundation/live_registry.h"
#include "foundation/shared_handle.h"
#include "foundation/smart_ptr.h"

namespace {

using qestl::CountedObject;
using qestl::SmartPtr;
using qestl::SmartPtrVector;

struct Counted : CountedObject {
    explicit Counted(int* destroyed) : destroyed_(destroyed) {}
    ~Counted() override { ++*destroyed_; }
    int* destroyed_;
};

SmartPtr makeCounted(int* destroyed) {
    return SmartPtr(qestl::registerLiveObject(new Counted(destroyed)));
}

TEST(SmartPtrVector, GrowthLeavesEveryCountAsItWas) {
    int destroyed = 0;
    std::vector<SmartPtr> owners;
    for (int i = 0; i < 8; ++i) owners.push_back(makeCounted(&destroyed));
    SmartPtrVector vector;
    size_t lastCapacity = 0;
    std::vector<size_t> capacities;
    for (const SmartPtr& owner : owners) {
        vector.pushBack(owner);
        if (vector.capacity() != lastCapacity) capacities.push_back(vector.capacity());
        lastCapacity = vector.capacity();
        // Every element pushed so far: the owner's reference plus the vector's.
        for (size_t i = 0; i < vector.size(); ++i) EXPECT_EQ(owners[i]->referenceCount(), 2u) << i;
    }
    EXPECT_EQ(capacities, (std::vector<size_t>{1, 3, 7, 15}));
    EXPECT_EQ(destroyed, 0);

    vector.popBack();
    EXPECT_EQ(owners[7]->referenceCount(), 1u);
    vector.clear();
    for (const SmartPtr& owner : owners) EXPECT_EQ(owner->referenceCount(), 1u);
    owners.clear();
    EXPECT_EQ(destroyed, 8);
}

TEST(SmartPtrVector, LastReferenceInVectorIsReleasedOnClearAndGrowthKillsNothing) {
    int destroyed = 0;
    SmartPtrVector vector;
    for (int i = 0; i < 20; ++i) vector.pushBack(makeCounted(&destroyed));
    // Each element was only ever held by temporaries and the vector: a
    // regrowth that dropped old copies before making new ones would have
    // destroyed them.
    EXPECT_EQ(destroyed, 0);
    for (const SmartPtr& element : vector) EXPECT_EQ(element->referenceCount(), 1u);
    vector.resize(25);
    EXPECT_EQ(destroyed, 0);
    EXPECT_FALSE(vector[24]);
    vector.resize(10);
    EXPECT_EQ(destroyed, 10);
    vector.clear();
    EXPECT_EQ(destroyed, 20);
}

TEST(SmartPtrVector, TakenElementsMoveWithTheirCountsAndAnEmptiedListKeepsItsRoom) {
    int destroyed = 0;
    SmartPtrVector list, empty, taken;
    for (int i = 0; i < 3; ++i) list.pushBack(makeCounted(&destroyed));
    const SmartPtr first = list[0];
    empty.appendTaken(list);  // into an empty list: the buffer changes hands
    for (int i = 0; i < 5; ++i) taken.pushBack(makeCounted(&destroyed));
    const SmartPtr last = taken[4];
    empty.appendTaken(taken);  // past the room: the list grows on the way
    EXPECT_TRUE(list.empty());
    EXPECT_TRUE(taken.empty());
    ASSERT_EQ(empty.size(), 8u);
    EXPECT_TRUE(empty[0] == first);
    EXPECT_TRUE(empty[7] == last);
    EXPECT_EQ(first->referenceCount(), 2u);
    EXPECT_EQ(last->referenceCount(), 2u);
    EXPECT_EQ(destroyed, 0);

    const size_t room = empty.capacity();
    empty.clearKeepingBuffer();
    EXPECT_TRUE(empty.empty());
    EXPECT_EQ(empty.capacity(), room);
    EXPECT_EQ(destroyed, 6);  // all but the two still held here
    EXPECT_EQ(first->referenceCount(), 1u);
}

int gDisposed = 0;
void dispose(uint64_t) { ++gDisposed; }

TEST(SharedHandleVector, CopiesShareOneCountThroughGrowth) {
    gDisposed = 0;
    qestl::SharedHandle handle = qestl::SharedHandle::make(9, dispose);
    {
        qestl::SharedHandleVector vector;
        for (int i = 0; i < 10; ++i) vector.pushBack(handle);
        EXPECT_EQ(handle.useCount(), 11u);
        qestl::SharedHandleVector copy(vector);
        EXPECT_EQ(handle.useCount(), 21u);
    }
    EXPECT_EQ(handle.useCount(), 1u);
    EXPECT_EQ(gDisposed, 0);
    handle.reset();
    EXPECT_EQ(gDisposed, 1);
}

}  // namespace
