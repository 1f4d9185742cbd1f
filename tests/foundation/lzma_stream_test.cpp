#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "foundation/lzma_stream.h"

using qestl::qeByteStream;

namespace {

std::string bytesOf(qeByteStream& stream) {
    return stream.size() == 0 ? std::string()
                              : std::string(reinterpret_cast<const char*>(stream.data()), stream.size());
}

std::string compress(const std::string& text) {
    qeByteStream in(text.data(), text.size()), out;
    EXPECT_TRUE(lzmaCompressStream(out, in));
    return bytesOf(out);
}

bool decompress(const std::string& container, std::string* text) {
    qeByteStream in(container.data(), container.size()), out;
    bool ok = lzmaDecompressStream(out, in);
    *text = bytesOf(out);
    return ok;
}

std::string sample(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string text;
    while (text.size() < size) {
        // Words from a small vocabulary, some random bytes: compressible but
        // not trivially so.
        static const char* words[] = {"class ", "int ", "return ", "korvo ", "{ ", "} ", "\n"};
        if (random() % 8 == 0) text.push_back(static_cast<char>(random()));
        else text += words[random() % 7];
    }
    text.resize(size);
    return text;
}

// An output that takes only so many bytes.
class ShortOutput : public qestl::qeistream {
public:
    explicit ShortOutput(uint32_t room) : room_(room) {}
    uint32_t write(const void*, uint32_t count) override {
        uint32_t take = count < room_ ? count : room_;
        room_ -= take;
        return take;
    }

private:
    uint32_t room_;
};

// An input whose `remaining` promises more than `read` delivers.
class LyingInput : public qeByteStream {
public:
    using qeByteStream::qeByteStream;
    uint64_t remaining() override { return qeByteStream::remaining() + 100; }
};

// Made by Python's lzma (FORMAT_ALONE): unknown size, end marker.
const unsigned char kWithEndMarker[] = {
    0x5d, 0x00, 0x00, 0x80, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0x00, 0x35, 0x9b, 0xca,
    0xac, 0x4a, 0x1b, 0x09, 0x6e, 0xc2, 0x67, 0x1f, 0x1e, 0x27, 0xff, 0xff, 0xe3, 0x8d, 0x80, 0x00};

}  // namespace

TEST(Lzma, RoundTripsAcrossBufferBoundaries) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{65535}, size_t{65536}, size_t{200001}}) {
        std::string text = sample(size, static_cast<unsigned>(size));
        std::string container = compress(text);
        ASSERT_GE(container.size(), kLzmaHeaderSize);
        // lc 3 / lp 0 / pb 2, a 16 MiB dictionary, then the size.
        EXPECT_EQ(container.substr(0, 5), std::string("\x5d\x00\x00\x00\x01", 5));
        uint64_t stored = 0;
        std::memcpy(&stored, container.data() + 5, 8);
        EXPECT_EQ(stored, size);
        std::string back;
        EXPECT_TRUE(decompress(container, &back)) << size;
        EXPECT_EQ(back, text) << size;
    }
}

TEST(Lzma, CompressTakesWhatRemainsFromThePosition) {
    std::string text = "skip-me:" + sample(5000, 7);
    qeByteStream in(text.data(), text.size()), out;
    in.seek(qestl::kSeekBegin, 8);
    ASSERT_TRUE(lzmaCompressStream(out, in));
    std::string back;
    ASSERT_TRUE(decompress(bytesOf(out), &back));
    EXPECT_EQ(back, text.substr(8));
}

TEST(Lzma, DecodesUnknownSizeUpToTheEndMarker) {
    std::string container(reinterpret_cast<const char*>(kWithEndMarker), sizeof kWithEndMarker);
    std::string back, expected;
    for (int i = 0; i < 20; ++i) expected += "korvo ";
    expected += "\n";
    EXPECT_TRUE(decompress(container, &back));
    EXPECT_EQ(back, expected);
    // Without its end marker the stream is incomplete.
    EXPECT_FALSE(decompress(container.substr(0, container.size() - 6), &back));
}

TEST(Lzma, EveryTruncationFails) {
    std::string text = sample(3000, 3);
    std::string container = compress(text);
    for (size_t cut = 0; cut < container.size(); ++cut) {
        std::string back;
        EXPECT_FALSE(decompress(container.substr(0, cut), &back)) << cut;
        if (cut < kLzmaHeaderSize) {
            EXPECT_TRUE(back.empty()) << cut;
        }
        EXPECT_LE(back.size(), text.size());
        EXPECT_EQ(back, text.substr(0, back.size())) << cut;
    }
}

TEST(Lzma, CorruptBytesNeverOverrunTheStatedSize) {
    std::string text = sample(2000, 11);
    std::string container = compress(text);
    for (size_t at = kLzmaHeaderSize; at < container.size(); ++at) {
        std::string bad = container;
        bad[at] = static_cast<char>(bad[at] ^ 0x5a);
        std::string back;
        decompress(bad, &back);  // may or may not be detected
        EXPECT_LE(back.size(), text.size()) << at;
    }
}

TEST(Lzma, HostileHeadersAreRefused) {
    std::string container = compress("abc");
    std::string back;
    // A 4 GiB dictionary would need gigabytes: the decoder limit refuses it.
    std::string huge = container;
    std::memset(huge.data() + 1, 0xff, 4);
    EXPECT_FALSE(decompress(huge, &back));
    // Properties byte beyond lc/lp/pb range.
    std::string props = container;
    props[0] = static_cast<char>(225);
    EXPECT_FALSE(decompress(props, &back));
    // A size larger than the stream holds.
    std::string longer = container;
    longer[5] = 100;
    EXPECT_FALSE(decompress(longer, &back));
}

TEST(Lzma, ShortWritesAndShortInputsFail) {
    std::string text = sample(100000, 5);
    {
        qeByteStream in(text.data(), text.size());
        ShortOutput header(5);
        EXPECT_FALSE(lzmaCompressStream(header, in));
    }
    {
        qeByteStream in(text.data(), text.size());
        ShortOutput body(100);
        EXPECT_FALSE(lzmaCompressStream(body, in));
    }
    {
        std::string container = compress(text);
        qeByteStream in(container.data(), container.size());
        ShortOutput out(1000);
        EXPECT_FALSE(lzmaDecompressStream(out, in));
    }
    {
        LyingInput in(text.data(), text.size());
        qeByteStream out;
        EXPECT_FALSE(lzmaCompressStream(out, in));
    }
}
