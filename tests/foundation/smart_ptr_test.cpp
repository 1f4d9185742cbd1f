#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "foundation/live_registry.h"
#include "foundation/maps.h"
#include "foundation/shared_handle.h"
#include "foundation/smart_ptr.h"

namespace {

using qestl::CountedObject;
using qestl::SmartPtr;

// A counted object that records its destruction.
struct Probe : CountedObject {
    explicit Probe(int* destroyed) : destroyed_(destroyed) {}
    ~Probe() override { ++*destroyed_; }
    int* destroyed_;
};

// Registered as the compiler's makers register: an optimised build does not,
// and its disposal then takes nothing out of the registry.
Probe* makeRegistered(int* destroyed) {
    auto* probe = new Probe(destroyed);
    if constexpr (qestl::kRegistersLiveObjects) qestl::registerLiveObject(probe);
    return probe;
}

bool isRegistered(const void* object) { return qestl::liveObjectRegistry().contains(object); }

TEST(SmartPtr, CopiesAndAssignmentsShareOneObjectDisposedOnceByTheLastPointer) {
    int destroyed = 0;
    Probe* probe = makeRegistered(&destroyed);
    SmartPtr first(probe);
    SmartPtr copied(first);
    SmartPtr assigned;
    assigned = first;
    EXPECT_EQ(probe->referenceCount(), 3u);
    static_assert(sizeof(SmartPtr) == sizeof(void*), "a pointer is one word");

    // Whichever pointer goes last disposes of it, through the registry.
    copied.reset();
    first.reset();
    EXPECT_EQ(destroyed, 0);
    assigned.reset();
    EXPECT_EQ(destroyed, 1);
    EXPECT_FALSE(isRegistered(probe));
}

TEST(SmartPtr, IntZeroAndNullAreEmptyAndReleaseNothing) {
    SmartPtr fromZero(0);
    EXPECT_FALSE(fromZero);
    SmartPtr fromNull(static_cast<CountedObject*>(nullptr));
    EXPECT_FALSE(fromNull);
    fromZero.reset();
    fromNull = fromZero;
    EXPECT_FALSE(fromNull);
}

TEST(SmartPtr, SelfAssignmentOfTheOnlyReferenceKeepsTheObject) {
    int destroyed = 0;
    SmartPtr only(makeRegistered(&destroyed));
    SmartPtr& alias = only;
    only = alias;
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(only->referenceCount(), 1u);
}

// An object that holds the only reference to another: assigning the inner
// pointer over the outer one must not destroy the inner object first.
struct Holder : CountedObject {
    SmartPtr inner;
};

TEST(SmartPtr, AssigningAPointerOwnedByTheOldObjectKeepsItAlive) {
    int destroyed = 0;
    auto* holder = new Holder;
    qestl::registerLiveObject(holder);
    holder->inner = SmartPtr(makeRegistered(&destroyed));
    CountedObject* inner = holder->inner.get();
    SmartPtr p(holder);
    p = holder->inner;  // holder dies here, taking its own reference to inner
    EXPECT_EQ(p.get(), inner);
    EXPECT_EQ(destroyed, 0);
    EXPECT_EQ(inner->referenceCount(), 1u);
    p.reset();
    EXPECT_EQ(destroyed, 1);
}

TEST(SmartPtr, ABorrowedListIsCopiedWithItsCountsOnItsFirstGrowthAndLeftToItsLender) {
    int destroyed = 0;
    SmartPtr held(new Probe(&destroyed));
    qestl::SmartPtrVector lender;
    lender.pushBack(held);
    {
        qestl::SmartPtrVector list;
        list.borrow(lender.begin(), lender.size());
        EXPECT_EQ(held->referenceCount(), 2u);
        list.pushBack(SmartPtr());
        EXPECT_FALSE(list.isBorrowed());
        EXPECT_EQ(held->referenceCount(), 3u);
    }
    EXPECT_EQ(held->referenceCount(), 2u);
    EXPECT_EQ(lender[0].get(), held.get());
    EXPECT_EQ(destroyed, 0);
}

TEST(PointerSet, ErasingOnlyNodeEmptiesTheTree) {
    qestl::PointerSet registry;
    int object = 0;
    auto* node = registry.insert(&object);
    registry.eraseNode(node);
    EXPECT_EQ(registry.count, 0u);
    EXPECT_EQ(registry.root, nullptr);
}

TEST(PointerSet, ErasingNodesWithTwoChildrenKeepsEveryOtherAddress) {
    qestl::PointerSet registry;
    std::vector<char> objects(64);
    for (char& object : objects) registry.insert(&object);
    // Repeatedly erase the root while it has two children.
    std::vector<const void*> erased;
    while (registry.root != nullptr && registry.root->left != nullptr && registry.root->right != nullptr) {
        auto* root = registry.rootNode();
        erased.push_back(reinterpret_cast<const void*>(root->key));
        registry.eraseNode(root);
    }
    EXPECT_GT(erased.size(), 10u);
    for (char& object : objects) {
        bool gone = std::find(erased.begin(), erased.end(), &object) != erased.end();
        EXPECT_EQ(registry.contains(&object), !gone);
    }
    EXPECT_EQ(registry.count, objects.size() - erased.size());
}

TEST(LiveObjectRegistry, DestroyingAnUnregisteredObjectStillDestroysIt) {
    int destroyed = 0;
    auto* probe = new Probe(&destroyed);
    uint64_t before = qestl::liveObjectRegistry().size();
    qestl::destroyLiveObject(probe);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(qestl::liveObjectRegistry().size(), before);
}

uint64_t gReleasedValue = 0;
int gReleases = 0;
void recordRelease(uint64_t value) {
    gReleasedValue = value;
    ++gReleases;
}

TEST(SharedHandle, LastCopyReleasesValueOnce) {
    gReleases = 0;
    qestl::SharedHandle handle = qestl::SharedHandle::make(0xABCD, recordRelease);
    {
        qestl::SharedHandle copy(handle);
        qestl::SharedHandle assigned;
        assigned = copy;
        EXPECT_EQ(handle.useCount(), 3u);
        qestl::SharedHandle& alias = assigned;
        assigned = alias;
        EXPECT_EQ(handle.useCount(), 3u);
    }
    EXPECT_EQ(gReleases, 0);
    handle.reset();
    EXPECT_EQ(gReleases, 1);
    EXPECT_EQ(gReleasedValue, 0xABCDu);
    EXPECT_TRUE(handle.isNull());
}

TEST(SharedKeyMap, ExistingKeyTakesTheNewHandleAndReleasesTheOld) {
    gReleases = 0;
    qestl::SharedKeyMap map;
    auto [node, failed] = map.insert(-4, qestl::SharedHandle::make(1, recordRelease));
    ASSERT_NE(node, nullptr);
    EXPECT_FALSE(failed);
    EXPECT_EQ(node->value.useCount(), 1u) << "the call's temporary copy must be gone";
    auto again = map.insert(-4, qestl::SharedHandle::make(2, recordRelease));
    EXPECT_EQ(again.first, node);
    EXPECT_EQ(gReleases, 1);
    EXPECT_EQ(gReleasedValue, 1u);
    EXPECT_EQ(node->value.value(), 2u);
    map.clear();
    EXPECT_EQ(gReleases, 2);
    EXPECT_EQ(gReleasedValue, 2u);
}

}  // namespace

namespace {

// Counted objects of a given size that fill themselves with a pattern.
template <size_t Bytes>
struct Sized : CountedObject {
    explicit Sized(uint8_t mark) { std::fill(std::begin(payload), std::end(payload), mark); }
    bool intact(uint8_t mark) const {
        return std::all_of(std::begin(payload), std::end(payload), [mark](uint8_t b) { return b == mark; });
    }
    uint8_t payload[Bytes];
};

}  // namespace

TEST(ObjectMemory, ObjectsOfEverySizeClassKeepTheirBytesThroughReuse) {
    // Freed blocks are handed out again by size alone: any size mix-up
    // would let one object overwrite another.
    for (int round = 0; round < 3; ++round) {
        std::vector<SmartPtr> held;
        for (int i = 0; i < 200; ++i) {
            const auto mark = static_cast<uint8_t>(i);
            if (i % 3 == 0) held.push_back(SmartPtr(qestl::registerLiveObject(new Sized<4>(mark))));
            else if (i % 3 == 1) held.push_back(SmartPtr(qestl::registerLiveObject(new Sized<60>(mark))));
            else held.push_back(SmartPtr(qestl::registerLiveObject(new Sized<9000>(mark))));
        }
        for (size_t i = 0; i < held.size(); i += 2) held[i].reset();
        for (size_t i = 1; i < held.size(); i += 2) {
            const auto mark = static_cast<uint8_t>(i);
            if (i % 3 == 1) EXPECT_TRUE(held[i].as<Sized<60>>()->intact(mark));
            else if (i % 3 == 2) EXPECT_TRUE(held[i].as<Sized<9000>>()->intact(mark));
            else EXPECT_TRUE(held[i].as<Sized<4>>()->intact(mark));
        }
    }
}
