#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "codegen/image_parts.h"
#include "foundation/byte_io.h"
#include "image/compressed_image.h"
#include "image/debug_record.h"
#include "image/image_header.h"

namespace {

TEST(ImageHeader, HeapPaddingPutsMembersAt24Mod32) {
    for (uint64_t e = 1000; e < 1032; ++e) {
        const uint64_t p = codegen::heapPadding(e);
        EXPECT_GE(p, 2u) << e;
        EXPECT_LE(p, 33u) << e;
        EXPECT_EQ((e + p) % 32, 24u) << e;
    }
}

TEST(ImageHeader, FieldsAreWrittenInOrderAndWidth) {
    ImageHeader header{};
    header.version = 0x1111111111111111;
    header.word4 = 0x22222222;
    header.imageOptions = 0x3333333333333333;
    header.crcRegion3 = 0x44444444;
    header.rawBlockLength = 0x5555555555555555;
    header.language = 0x66666666;
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    ASSERT_EQ(writeImageHeaderFields(header, out), 76u);
    ASSERT_EQ(bytes.size(), 76u);
    EXPECT_EQ(qestl::loadU64LE(bytes.data()), header.version);
    EXPECT_EQ(qestl::loadU32LE(bytes.data() + 16), header.word4);
    EXPECT_EQ(qestl::loadU64LE(bytes.data() + 20), header.imageOptions);
    EXPECT_EQ(qestl::loadU32LE(bytes.data() + 60), header.crcRegion3);
    EXPECT_EQ(qestl::loadU64LE(bytes.data() + 64), header.rawBlockLength);
    EXPECT_EQ(qestl::loadU32LE(bytes.data() + 72), header.language);
}

TEST(ImageHeader, LanguageByAbbreviationWithoutCase) {
    EXPECT_EQ(languageIdOf("chs"), 0x804u);
    EXPECT_EQ(languageIdOf("CHS"), 0x804u);
    EXPECT_EQ(languageIdOf("uzb1"), 0x443u);
    EXPECT_EQ(languageIdOf("USA"), 0x409u);
    EXPECT_EQ(languageIdOf("DEFAULT"), 0u);
    EXPECT_EQ(languageIdOf("xyz"), 0u);
    EXPECT_EQ(languageIdOf("CH"), 0u);
    EXPECT_EQ(languageIdOf(""), 0u);
}

TEST(ImageHeader, RegionCrcOfEmptyRangeIsZero) {
    const uint8_t bytes[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
    EXPECT_EQ(regionCrc(bytes, 4, 4), 0u);
    EXPECT_EQ(regionCrc(bytes, 0, 9), 0xCBF43926u);
}

// Milliseconds of the current second since the epoch: bracketed by the
// seconds read just before and just after.
TEST(ImageHeader, TimeStampIsMillisecondsOfNow) {
    const uint64_t before = static_cast<uint64_t>(std::time(nullptr));
    const uint64_t stamp = imageTimeStamp();
    const uint64_t after = static_cast<uint64_t>(std::time(nullptr));
    EXPECT_GE(stamp, before * 1000);
    EXPECT_LT(stamp, (after + 1) * 1000);
}

// An empty plain image: magic, version, an end address and section values
// at the body's start.
std::string emptyImage() {
    std::string image(kImageBodyStart, '\0');
    auto* bytes = reinterpret_cast<uint8_t*>(image.data());
    qestl::storeU32LE(bytes, kImageMagic);
    qestl::storeU32LE(bytes + kImageVersionAt, kImageFormatVersion);
    qestl::storeU64LE(bytes + kImageEndAt, kImageBodyStart);
    for (int i = 0; i < codegen::kImageSections; ++i)
        qestl::storeU64LE(bytes + kImageSectionsAt + 8 * i, kImageBodyStart);
    return image;
}

// A head that is no image's, or claims more than a reader will decode, is
// refused before anything is decoded; so are section values that do not
// ascend within the body.
TEST(ImageHeader, RestoreRefusesUnreasonableHeads) {
    std::string head = emptyImage();
    auto* bytes = reinterpret_cast<uint8_t*>(head.data());
    qestl::qeByteStream out;
    EXPECT_FALSE(restoreProgramImage(bytes, kImageHeadBytes - 1, out));
    EXPECT_FALSE(restoreProgramImage(bytes, kImageBodyStart - 1, out));  // no room for the sections
    EXPECT_TRUE(restoreProgramImage(bytes, head.size(), out));           // plain: lent
    EXPECT_EQ(out.size(), kImageBodyStart);
    for (const uint32_t at : {0u, 3u, kImageVersionAt}) {
        std::string other = head;
        other[at] ^= 1;
        EXPECT_FALSE(restoreProgramImage(reinterpret_cast<uint8_t*>(other.data()), other.size(), out)) << at;
    }
    qestl::storeU64LE(bytes + kImageSectionsAt + 48, kImageBodyStart + 8);  // the last section past the end
    EXPECT_FALSE(restoreProgramImage(bytes, head.size(), out));
    qestl::storeU64LE(bytes + kImageEndAt, kImageBodyStart + 8);  // past the file: listed as far as it goes
    EXPECT_TRUE(restoreProgramImage(bytes, head.size(), out));
    qestl::storeU64LE(bytes + kImageSectionsAt + 16, kImageBodyStart + 4);  // above the next: descending
    EXPECT_FALSE(restoreProgramImage(bytes, head.size(), out));
    qestl::storeU64LE(bytes + kImageEndAt, kImageBodyStart - 1);
    EXPECT_FALSE(restoreProgramImage(bytes, head.size(), out));  // end inside the head
    qestl::storeU64LE(bytes + kImageOptionsAt, kImageCompressedFlag);
    qestl::storeU64LE(bytes + kImageEndAt, kImageLargestEnd + 1);
    EXPECT_FALSE(restoreProgramImage(bytes, head.size(), out));
    qestl::storeU64LE(bytes + kImageEndAt, 200);
    qestl::storeU64LE(bytes + kImageRawBlockAt, head.size());
    EXPECT_FALSE(restoreProgramImage(bytes, head.size(), out));  // raw block past the end
}

// A megabyte of zeros packs to a few hundred bytes: its end address is
// sound, but no image the writer makes packs that tightly, so it is refused
// before it decodes; a body of ordinary redundancy still restores.
TEST(ImageHeader, RestoreRefusesBodiesPackedBeyondReason) {
    for (const bool zeros : {true, false}) {
        qestl::qeByteStream image;
        std::string head = emptyImage().substr(0, kImageHeadBytes);
        qestl::storeU64LE(reinterpret_cast<uint8_t*>(head.data()) + kImageEndAt, kImageHeadBytes + (1u << 20));
        qestl::storeU64LE(reinterpret_cast<uint8_t*>(head.data()) + kImageOptionsAt, kImageCompressedFlag);
        image.appendBytes(head.data(), head.size());
        std::string body(1u << 20, '\0');
        uint32_t state = 1;
        if (!zeros)
            for (char& c : body) c = static_cast<char>('a' + ((state = state * 1103515245u + 12345u) >> 29));
        body.replace(0, kImageBodyStart - kImageHeadBytes, emptyImage().substr(kImageHeadBytes));
        image.appendBytes(body.data(), body.size());
        ASSERT_TRUE(compressProgramImage(image, qestl::ByteVector()));
        qestl::qeByteStream out;
        EXPECT_EQ(restoreProgramImage(image.data(), image.size(), out), !zeros);
        EXPECT_LT(out.size(), image.size() * 129 + kImageHeadBytes);
    }
}

TEST(DebugRecord, LinesComeBackAsAdded) {
    std::vector<DebugLineRecord> lines = {{500, 1, 7, 3, 0x900},
                                          {220, 1, 2, 0, 0x900},
                                          {~uint64_t{0}, 0xFFFF, 0xFFFFFF, 0xFFFFFF, kNoDebugOwner},
                                          {192, 0, 0, 0, 0}};
    // Runs of several sizes, longer and shorter than the writer's batches.
    for (uint32_t i = 0; i < 1000; ++i) lines.push_back({192 + 28 * uint64_t{i}, i / 50, i / 3, i % 97, i / 40});
    DebugRecord record;
    record.lineCount = lines.size();
    record.forEachLineRun = [&lines](const auto& take) {
        for (size_t at = 0, run = 1; at < lines.size(); at += run, run = run * 3 % 301 + 1)
            take(DebugRecord::LineRun(lines.data() + at, std::min(run, lines.size() - at)));
    };
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    const uint64_t written = encodeDebugRecord(record, out);
    ASSERT_EQ(written, bytes.size());
    qestl::ByteReader in(bytes.data(), bytes.size());
    in.skip(4 + 4 * 12);
    for (const DebugLineRecord& added : lines) {
        EXPECT_EQ(in.u64le(), added.address - 192);
        EXPECT_EQ(in.u64le(), (uint64_t{added.file} << 48) | (uint64_t{added.line} << 24) | added.column);
        EXPECT_EQ(in.u64le(), added.owner);
    }
    EXPECT_EQ(in.position(), bytes.size());
}

TEST(DebugRecord, FieldsKeepTheirLowBits) {
    DebugRecord record;
    record.files = {"a/b.k"};
    record.lineCount = 1;
    record.forEachLineRun = [](const auto& take) {
        const DebugLineRecord line{192 + 16, 0x12345, 0x1ABCDEF, 0x2000001, kNoDebugOwner};
        take(DebugRecord::LineRun(&line, 1));
    };
    record.variableCount = 1;
    record.variableNameBytes = 1;
    record.forEachVariableRun = [](const auto& take) {
        const DebugVariableRecord g{300, "g"};
        take(DebugRecord::VariableRun(&g, 1));
    };
    const std::vector<std::string_view> frame = {"a", "bc"};
    record.functionCount = 1;
    record.forEachFunctionRun = [&frame](const auto& take) {
        const DebugFunctionRecord f{400, "f", "f@x", 0, frame};
        take(DebugRecord::FunctionRun(&f, 1));
    };
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    const uint64_t written = encodeDebugRecord(record, out);
    ASSERT_EQ(written, bytes.size());
    EXPECT_EQ(debugRecordBytes(record), written);
    qestl::ByteReader in(bytes.data(), bytes.size());
    EXPECT_EQ(in.u32le(), 162u);
    for (uint64_t count : {1, 1, 1, 1}) {
        EXPECT_EQ(in.u32le(), 0x04000004u);
        EXPECT_EQ(in.u64le(), count);
    }
    EXPECT_EQ(in.u32le(), 6u);
    in.skip(6);
    EXPECT_EQ(in.u64le(), 16u);
    EXPECT_EQ(in.u64le(), (uint64_t{0x2345} << 48) | (uint64_t{0xABCDEF} << 24) | 1);
    EXPECT_EQ(in.u64le(), kNoDebugOwner);
    EXPECT_EQ(in.u64le(), 300u - 192);
    EXPECT_EQ(in.u32le(), 2u);
    in.skip(2);
    const size_t functionStart = in.position();
    EXPECT_EQ(in.u64le(), 400u);
    const uint32_t length = in.u32le();
    EXPECT_EQ(length, 4 + 1 + 26 + 3 + (5 + 1) + (5 + 2));
    EXPECT_EQ(bytes.size() - functionStart, length);
}

}  // namespace
