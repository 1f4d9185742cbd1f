#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/byte_io.h"
#include "foundation/stream.h"

using qestl::qeByteStream;
using qestl::qeistream;
using qestl::qeZStream;

namespace {

std::string readAll(qeistream& stream, uint32_t piece = 7) {
    std::string out;
    char buffer[64];
    for (;;) {
        uint32_t got = stream.read(buffer, piece);
        if (got == 0) break;
        out.append(buffer, got);
    }
    return out;
}

// A source that hands out `total` bytes and remembers the sizes asked for.
class CountingSource : public qeistream {
public:
    explicit CountingSource(uint32_t total) : left_(total) {}
    uint32_t read(void* destination, uint32_t count) override {
        asked.push_back(count);
        uint32_t take = count < left_ ? count : left_;
        std::memset(destination, 'a' + static_cast<int>(asked.size() % 26), take);
        left_ -= take;
        return take;
    }
    std::vector<uint32_t> asked;

private:
    uint32_t left_;
};

}  // namespace

TEST(ByteStream, BorrowedBytesReadBackAndAreNeverFreed) {
    // A stack buffer: freeing it would be caught by the sanitizer.
    char stored[10] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9'};
    {
        qeByteStream stream(stored, sizeof stored);
        EXPECT_TRUE(stream.isBorrowed());
        EXPECT_EQ(readAll(stream), "0123456789");
        EXPECT_TRUE(stream.close());
        EXPECT_EQ(stream.size(), 0u);
    }
    qeByteStream again(stored, sizeof stored);  // destroyed without close
}

TEST(ByteStream, WriteToABorrowedBufferCopiesItFirst) {
    char stored[4] = {'a', 'b', 'c', 'd'};
    qeByteStream stream(stored, sizeof stored);
    EXPECT_EQ(stream.write("ef", 2), 2u);
    EXPECT_FALSE(stream.isBorrowed());
    EXPECT_EQ(std::string(stored, 4), "abcd");
    EXPECT_EQ(readAll(stream), "abcdef");
}

TEST(ByteStream, WriteAppendsWhateverThePosition) {
    qeByteStream stream;
    stream.write("hello", 5);
    stream.seek(qestl::kSeekBegin, 0);
    stream.write(" world", 6);
    EXPECT_EQ(stream.tell(), 0u);
    EXPECT_EQ(readAll(stream, 3), "hello world");
}

TEST(ByteStream, ReadsStopAtTheEnd) {
    qeByteStream stream("0123456789", 10);
    char buffer[32];
    stream.seek(qestl::kSeekBegin, 7);
    EXPECT_EQ(stream.read(buffer, 32), 3u);
    EXPECT_EQ(stream.read(buffer, 32), 0u);
    // Origin 2 counts backwards from the end.
    EXPECT_EQ(stream.seek(qestl::kSeekEnd, 4), 6u);
    EXPECT_EQ(stream.remaining(), 4u);
    EXPECT_EQ(stream.seek(qestl::kSeekCurrent, -2), 4u);
    EXPECT_EQ(stream.seek(9, 123), 4u);  // unknown origin: stays
}

TEST(ByteStream, PositionsOutsideTheBufferReadNothing) {
    qeByteStream stream("abc", 3);
    char buffer[8] = {};
    stream.seek(qestl::kSeekBegin, 1000);
    EXPECT_EQ(stream.remaining(), 0u);
    EXPECT_EQ(stream.read(buffer, 8), 0u);
    stream.seek(qestl::kSeekBegin, -1);  // wraps to a huge position
    EXPECT_EQ(stream.remaining(), 0u);
    EXPECT_EQ(stream.read(buffer, 8), 0u);
    stream.seek(qestl::kSeekEnd, 5);  // before the start
    EXPECT_EQ(stream.read(buffer, 8), 0u);
}

TEST(ByteStream, OpenSlurpsAPendingSourceIn64BytePieces) {
    CountingSource source(130);
    qeByteStream stream(&source);
    EXPECT_FALSE(stream.isOpen());
    EXPECT_TRUE(stream.open());
    EXPECT_TRUE(stream.isOpen());
    ASSERT_GE(source.asked.size(), 3u);
    EXPECT_EQ(source.asked[0], 64u);
    EXPECT_EQ(stream.size(), 130u);
    std::string all = readAll(stream, 64);
    EXPECT_EQ(all.size(), 130u);
    EXPECT_EQ(all[0], all[63]);
    EXPECT_NE(all[63], all[64]);  // second piece came from the second call
    EXPECT_NE(all[127], all[128]);
}

TEST(ByteStream, AppendingPartOfItselfSurvivesGrowth) {
    qeByteStream stream;
    stream.write("abcdefgh", 8);
    // Several doublings, each appending bytes that live in the old buffer.
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(stream.appendBytes(stream.data() + 2, 4));
    std::string all = readAll(stream, 64);
    EXPECT_EQ(all, "abcdefgh" + std::string("cdefcdefcdefcdefcdefcdef"));
}

TEST(ZStream, CountsBytesWrittenThrough) {
    qeByteStream target;
    qeZStream counter(&target);
    EXPECT_EQ(counter.write("12345", 5), 5u);
    EXPECT_EQ(counter.write("6789012", 7), 7u);
    EXPECT_EQ(counter.tell(), 12u);
    EXPECT_EQ(counter.size(), 12u);
    EXPECT_EQ(target.size(), 12u);
    EXPECT_EQ(counter.seek(qestl::kSeekBegin, 3), 0u);
    EXPECT_FALSE(counter.open());
    char buffer[4];
    EXPECT_EQ(counter.read(buffer, 4), 4u);
    EXPECT_TRUE(callStreamClose(&counter));
    EXPECT_EQ(target.size(), 0u);

    qeZStream empty;
    EXPECT_EQ(empty.write("x", 1), 0u);
    EXPECT_FALSE(empty.close());
}

// A writer that spills: positions count from the first byte, blocks as large
// as the buffer pass straight through, and only what is still buffered can be
// patched.
TEST(ByteWriter, SpillsToItsSinkAndKeepsCountingPositions) {
    struct Collect : qestl::ByteSink {
        std::vector<uint8_t> bytes;
        size_t calls = 0;
        void take(const uint8_t* data, size_t count) override {
            bytes.insert(bytes.end(), data, data + count);
            ++calls;
        }
    } sink;
    qestl::ByteVector buffer;
    qestl::ByteWriter out(buffer);
    out.spillTo(&sink, 8);
    out.u32le(0x04030201);
    EXPECT_TRUE(out.patchU8(0, 0xAA));
    out.u64le(0x0C0B0A0908070605);
    EXPECT_EQ(out.position(), 12u);
    EXPECT_EQ(buffer.size(), 0u) << "12 bytes held against a limit of 8";
    EXPECT_FALSE(out.patchU8(0, 0)) << "spilled bytes are out of reach";
    const uint8_t block[9] = {13, 14, 15, 16, 17, 18, 19, 20, 21};
    out.u8(0xEE);
    out.bytes(block, sizeof block);
    EXPECT_EQ(out.position(), 22u);
    out.zeros(2);
    out.spill();
    std::vector<uint8_t> want = {0xAA, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 0xEE, 13, 14, 15, 16, 17, 18, 19, 20, 21, 0, 0};
    EXPECT_EQ(sink.bytes, want);
    EXPECT_EQ(sink.calls, 4u) << "the field, the byte before the block, the block, the rest";
}

// Padding that is not needed leaves the buffer as it is: a table whose
// entries fill their room exactly pads by nothing once per entry.
TEST(ByteWriter, NoZerosKeepTheBuffer) {
    qestl::ByteVector buffer;
    qestl::ByteWriter out(buffer);
    out.u64le(1);
    out.u8(2);
    const uint8_t* before = buffer.data();
    out.zeros(0);
    EXPECT_EQ(buffer.data(), before);
    EXPECT_EQ(out.position(), 9u);
}

TEST(ByteStream, WriteAtRewritesOnlyWhatIsThere) {
    qestl::qeByteStream stream;
    ASSERT_EQ(stream.write("abcdef", 6), 6u);
    EXPECT_TRUE(stream.patchesWritten());
    EXPECT_FALSE(stream.writesAtPositions()) << "no writes ahead of the end";
    EXPECT_TRUE(stream.writeAt(2, "XY", 2));
    EXPECT_FALSE(stream.writeAt(5, "XY", 2));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.data()), stream.size()), "abXYef");
}

TEST(ByteStream, ClearKeepingBufferKeepsAnOwnedOneAndDropsABorrowedOne) {
    qestl::qeByteStream stream;
    stream.write("abcdef", 6);
    const uint8_t* buffer = stream.data();
    stream.clearKeepingBuffer();
    EXPECT_EQ(stream.size(), 0u);
    stream.write("xy", 2);
    EXPECT_EQ(stream.data(), buffer);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.data()), stream.size()), "xy");
    char stored[2] = {'p', 'q'};
    stream.borrow(stored, sizeof stored);
    stream.clearKeepingBuffer();
    EXPECT_FALSE(stream.isBorrowed());
    EXPECT_EQ(stream.size(), 0u);
}

TEST(ByteStream, RoomSetAsideKeepsWhatIsWrittenAndTakesMore) {
    qestl::qeByteStream stream;
    stream.write("head", 4);
    stream.expectSize(64);
    const uint8_t* room = stream.data();
    for (int i = 0; i < 30; ++i) stream.write("ab", 2);
    EXPECT_EQ(stream.data(), room);  // no growth within the room
    stream.write(std::string(200, 'z').data(), 200);
    ASSERT_EQ(stream.size(), 264u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(stream.data()), 6), "headab");
    EXPECT_EQ(stream.data()[263], 'z');
}
