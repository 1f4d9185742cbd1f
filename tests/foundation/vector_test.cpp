#include "foundation/vector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>
#include <utility>

#include <unistd.h>

#include "foundation/memory.h"
#include "foundation/qestring.h"
#include "platform/output_file.h"

namespace {

TEST(VectorTest, GrowsToTwiceCountPlusOneThenTwicePlusN) {
    qestl::U32Vector v;
    size_t seen[4];
    for (int i = 0; i < 8; ++i) {
        v.pushBack(static_cast<uint32_t>(i));
        if (i == 0) seen[0] = v.capacity();
        if (i == 1) seen[1] = v.capacity();
        if (i == 3) seen[2] = v.capacity();
        if (i == 7) seen[3] = v.capacity();
    }
    EXPECT_EQ(seen[0], 1u);
    EXPECT_EQ(seen[1], 3u);
    EXPECT_EQ(seen[2], 7u);
    EXPECT_EQ(seen[3], 15u);
    uint32_t more[20] = {};
    v.appendRange(more, 20);
    EXPECT_EQ(v.capacity(), 8u * 2 + 20);
}

// Counts its copies; moves are free.
struct CountedCopies {
    static inline int copies = 0;
    std::string text;
    explicit CountedCopies(std::string value) : text(std::move(value)) {}
    CountedCopies(const CountedCopies& other) : text(other.text) { ++copies; }
    CountedCopies(CountedCopies&& other) noexcept : text(std::move(other.text)) {}
};

TEST(VectorTest, GrowingMovesTheElementsAndCopiesAnOwnElementPushedBack) {
    qestl::qevector<CountedCopies> v;
    CountedCopies::copies = 0;
    for (int i = 0; i < 15; ++i) v.pushBack(CountedCopies(std::to_string(i)));
    EXPECT_EQ(CountedCopies::copies, 0);
    ASSERT_EQ(v.capacity(), v.size());
    // The buffer it lives in goes with the growth: it is copied, not moved.
    v.pushBack(std::move(v[0]));
    EXPECT_EQ(CountedCopies::copies, 1);
    EXPECT_EQ(v[0].text, "0");
    EXPECT_EQ(v[15].text, "0");
    EXPECT_EQ(v[14].text, "14");
}

TEST(VectorTest, InsertEraseResizeKeepOrderAndDeepCopies) {
    qestl::StringVector v;
    const char* words[] = {"one", "two", "three"};
    for (const char* w : words) v.pushBack(qestl::qestringA(w));
    qestl::qestringA inserted[] = {qestl::qestringA("a"), qestl::qestringA("b")};
    v.insertRange(1, inserted, 2);
    ASSERT_EQ(v.size(), 5u);
    std::string joined;
    for (const auto& s : v) joined += std::string(s.view()) + ",";
    EXPECT_EQ(joined, "one,a,b,two,three,");
    v.erase(0);
    EXPECT_EQ(v[0].view(), "a");
    v.resize(2);
    EXPECT_EQ(v.size(), 2u);
    EXPECT_EQ(v.capacity(), 2u);
    v.resize(4);
    EXPECT_EQ(v[3].length(), 0u);
    v.pushBack(v[0]);  // an element of the vector itself, through a regrow
    EXPECT_EQ(v.back().view(), "a");
    v.insertRange(0, v.data() + 1, 1);  // aliasing insert without regrow
    EXPECT_EQ(v[0].view(), "b");
}

TEST(VectorTest, ByteVectorPutAtAndReset) {
    qestl::ByteVector bytes;
    bytes.putAt(5, 7);
    EXPECT_EQ(bytes.size(), 7u);  // 0 -> 1 -> 3 -> 7
    EXPECT_EQ(bytes[5], 7);
    EXPECT_EQ(bytes[6], 0);
    bytes.reset(0);
    EXPECT_EQ(bytes.size(), 0u);
    EXPECT_NE(bytes.data(), nullptr);
    bytes.reset(1);
    EXPECT_EQ(bytes.data(), nullptr);
    uint8_t borrowed[2] = {1, 2};
    bytes.borrow(borrowed, 2);
    bytes.putAt(3, 9);  // needs more room than the borrowed buffer has
    EXPECT_NE(bytes.data(), borrowed);
    EXPECT_EQ(bytes[1], 2);
    EXPECT_EQ(bytes[3], 9);
}


// Bytes are copied as blocks: inserts from the vector's own bytes, in place
// and through a regrow, keep their order.
TEST(VectorTest, ByteVectorInsertsItsOwnBytes) {
    qestl::ByteVector bytes;
    const uint8_t start[] = {1, 2, 3, 4};
    bytes.append(start, 4);
    bytes.insertRange(1, bytes.data() + 2, 2);  // through a regrow
    bytes.insertRange(0, bytes.data() + 4, 2);  // in place, from the tail that moves
    bytes.pushBack(bytes[1]);
    bytes.pushBack(bytes[2]);
    bytes.pushBack(bytes[0]);  // its own byte, through a regrow
    const uint8_t expected[] = {3, 4, 1, 3, 4, 2, 3, 4, 4, 1, 3};
    ASSERT_EQ(bytes.size(), sizeof expected);
    for (size_t i = 0; i < sizeof expected; ++i) EXPECT_EQ(bytes[i], expected[i]) << i;
}
TEST(VectorTest, PushOrInsertOnABorrowedBufferCopiesItAndLeavesTheLenderAlone) {
    qestl::qestringA lent[2] = {qestl::qestringA("a"), qestl::qestringA("b")};
    qestl::StringVector v;
    v.borrow(lent, 2);
    v.pushBack(qestl::qestringA("c"));  // no room behind the lender's two elements
    EXPECT_NE(v.data(), lent);
    ASSERT_EQ(v.size(), 3u);
    EXPECT_EQ(v[0].view(), "a");
    EXPECT_EQ(v[2].view(), "c");
    EXPECT_EQ(lent[0].view(), "a");  // copied, not destroyed
    EXPECT_EQ(lent[1].view(), "b");

    uint32_t words[2] = {1, 2};
    qestl::U32Vector w;
    w.borrow(words, 2);
    const uint32_t more[2] = {7, 8};
    w.insertRange(1, more, 2);
    ASSERT_EQ(w.size(), 4u);
    EXPECT_NE(w.data(), words);
    EXPECT_EQ(w[1], 7u);
    EXPECT_EQ(w[3], 2u);
    w.resize(1);
    EXPECT_EQ(words[1], 2u);
}

// The narrow-count vector (a node's handle lists) keeps every rule of the
// wide one: growth, the borrowed mark, copies out of its own storage.
TEST(VectorTest, NarrowCountVectorFollowsTheSameRules) {
    using Narrow = qestl::qevector<qestl::qestringA, uint32_t>;
    static_assert(sizeof(Narrow) == sizeof(void*) + 8, "two 32-bit counts beside the pointer");
    Narrow v;
    v.pushBack(qestl::qestringA("a"));
    v.pushBack(qestl::qestringA("b"));
    EXPECT_EQ(v.capacity(), 3u);
    v.pushBack(v[0]);  // fits: copied from its own storage in place
    v.insertRange(0, v.data() + 1, 2);
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(v.capacity(), 3u * 2 + 2);
    std::string joined;
    for (const auto& item : v) joined += std::string(item.view());
    EXPECT_EQ(joined, "baaba");
    qestl::qestringA lent[1] = {qestl::qestringA("x")};
    Narrow borrowed;
    borrowed.borrow(lent, 1);
    EXPECT_TRUE(borrowed.isBorrowed());
    EXPECT_EQ(borrowed.capacity(), qestl::npos);
    Narrow copy(borrowed);
    EXPECT_FALSE(copy.isBorrowed());
    EXPECT_EQ(copy[0].view(), "x");
}

}  // namespace

// Exhausted memory (or a pool that refuses a block) ends the compile like
// an error, with status 1 and a message, never with a signal.
TEST(Memory, RunningOutEndsWithStatusOne) {
    EXPECT_EXIT(qestl::outOfMemory(64), testing::ExitedWithCode(1), "out of memory \\(64 bytes\\)");
    EXPECT_EXIT(
        {
            qestl::endOnFailedNew();
            std::get_new_handler()();
        },
        testing::ExitedWithCode(1), "out of memory");
}

// The temporary of an output being written goes with a process that ran out.
TEST(Memory, RunningOutLeavesNoTemporary) {
    char directory[] = "/tmp/korvo-memory-XXXXXX";
    ASSERT_NE(::mkdtemp(directory), nullptr);
    const std::string target = std::string(directory) + "/out.kb";
    EXPECT_EXIT(
        {
            platform::PendingOutput output;
            if (!platform::outputBegin(target.c_str(), platform::kPlainFileMode, output)) std::_Exit(2);
            qestl::outOfMemory(64);
        },
        testing::ExitedWithCode(1), "out of memory");
    EXPECT_EQ(::rmdir(directory), 0);  // only an empty directory goes
}
