// Resource records as the image holds them, and a file resource that is not
// what it was when the image was laid out.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <list>
#include <unistd.h>
#include <string>
#include <vector>

#include "codegen/compile_context.h"
#include "codegen/resource_table.h"
#include "foundation/byte_io.h"
#include "model/opcodes.h"

namespace {

using codegen::ResourceItem;

qestl::SmartPtr item(uint32_t kind, const std::string& data) {
    // An item reads its name where it lies.
    static std::list<std::string> names;
    auto* made = new ResourceItem();
    made->setData(kind, data.data(), data.size());
    made->setName(names.emplace_back(data.c_str()));
    return model::adoptLive(made);
}

std::string tempPath(const char* name) {
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir != nullptr ? dir : "/tmp") + "/korvo-resource-" + std::to_string(::getpid()) + name;
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(ResourceRecords, StringsAndBlocksAreHeadDataAndTerminator) {
    qestl::SmartPtr text = item(codegen::kResourceString, "abc");
    qestl::SmartPtr block = item(codegen::kResourceBinary, std::string("\0\1", 2));
    EXPECT_EQ(text.as<ResourceItem>()->encodedSize(), 4u + 24 + 3 + 1);
    EXPECT_EQ(block.as<ResourceItem>()->encodedSize(), 4u + 24 + 2);
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    EXPECT_EQ(text.as<ResourceItem>()->write(out), 32);
    qestl::ByteReader in(bytes.data(), bytes.size());
    EXPECT_EQ(in.u32le(), uint32_t{model::kOpResource});
    in.skip(12);
    EXPECT_EQ(in.u32le(), (5u << 24) | codegen::kResourceString);
    EXPECT_EQ(in.u64le(), 3u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(in.take(4)), 4), std::string("abc\0", 4));
}

// A file is placed with the length measured first; at write time it must
// still have exactly those bytes.
TEST(ResourceRecords, AFileThatChangedOrWentIsNotWritten) {
    const std::string path = tempPath("f.bin");
    writeFile(path, "12345");
    qestl::SmartPtr file = item(codegen::kResourceFile, path);
    auto* resource = file.as<ResourceItem>();
    EXPECT_EQ(resource->encodedSize(), 28u + 5);
    writeFile(path, "123456");
    EXPECT_EQ(resource->encodedSize(), 28u + 5);  // measured once
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    EXPECT_EQ(resource->write(out), -2);
    writeFile(path, "1234");
    EXPECT_EQ(resource->write(out), -2);
    EXPECT_TRUE(bytes.empty());
    writeFile(path, "abcde");
    EXPECT_EQ(resource->write(out), 33);
    EXPECT_EQ(bytes.size(), 33u);
    std::remove(path.c_str());
    EXPECT_EQ(resource->write(out), -1);
    EXPECT_EQ(bytes.size(), 33u);
}

TEST(ResourceRecords, TheTableKeepsTheFirstFailure) {
    const std::string path = tempPath("g.bin");
    writeFile(path, "x");
    CompileContext context;
    codegen::ResourceTable& table = context.tables().resources();
    table.getOrAdd(context, "a", codegen::kResourceString, "a", 1, model::NodeHandle());
    table.getOrAdd(context, path, codegen::kResourceFile, nullptr, 0, model::NodeHandle());
    EXPECT_EQ(table.totalSize(), (28u + 2) + (28u + 1));
    std::remove(path.c_str());
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    EXPECT_EQ(table.writeAll(out), -1);
    EXPECT_EQ(std::string(table.failedName.c_str()), path);
    EXPECT_EQ(table.failedCode, -1);
}

// The index of strings let go of while an image is written is made again
// for a string asked for after: the same texts find the same items.
TEST(ResourceRecords, StringsAskedAfterTheIndexWentFindTheirItems) {
    CompileContext context;
    codegen::ResourceTable& table = context.tables().resources();
    const auto ask = [&](std::string_view text) {
        return table.getOrAdd(context, text, codegen::kResourceString, text.data(), text.size(), model::NodeHandle())
            .target.get();
    };
    const auto* a = ask("a");
    const auto* unlisted = table.addUnlistedString("u").target.get();
    const size_t count = table.items().size();
    table.releaseStringIndex();
    EXPECT_EQ(ask("a"), a);
    EXPECT_EQ(ask("u"), unlisted);
    EXPECT_EQ(table.items().size(), count);
    EXPECT_NE(ask("b"), a);
    EXPECT_EQ(table.items().size(), count + 1);
}

// A text is written whole and found again whatever its length beside the
// name can hold (a 0 byte, 2^16 bytes); a link name is read where it lies.
TEST(ResourceRecords, TextsOfEveryLengthAreWrittenWholeAndFoundAgain) {
    CompileContext context;
    codegen::ResourceTable& table = context.tables().resources();
    static const char kLinkName[] = "/void@/A/run(/int)\0";  // two 0 bytes behind
    std::vector<std::string> texts = {std::string("a\0b", 3), std::string(65535, 'e'), std::string(65536, 'l')};
    for (const std::string& text : texts)
        table.getOrAdd(context, text, codegen::kResourceString, text.data(), text.size(), model::NodeHandle());
    table.addUnlistedString(qestl::qestringA::ofStaticText(kLinkName, sizeof kLinkName - 2));
    texts.emplace_back(kLinkName, sizeof kLinkName - 2);
    qestl::ByteVector bytes;
    qestl::ByteWriter out(bytes);
    EXPECT_EQ(table.writeAll(out), static_cast<int64_t>(table.totalSize()));
    qestl::ByteReader in(bytes.data(), bytes.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        in.skip(20);
        ASSERT_EQ(in.u64le(), texts[i].size());
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(in.take(texts[i].size() + 1)), texts[i].size()), texts[i]);
        const std::string& text = texts[i];
        EXPECT_EQ(table.getOrAdd(context, text, codegen::kResourceString, text.data(), text.size(), model::NodeHandle())
                      .target.get(),
                  table.items()[i].get());
    }
}

}  // namespace
