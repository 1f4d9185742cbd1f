#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "foundation/file_stream.h"

namespace fs = std::filesystem;

namespace {

class FileStreams : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("korvo-fstream-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(FileStreams, WriteThenReadBack) {
    FileStream out(qestl::widen(path("a.bin").c_str()));
    EXPECT_EQ(out.size(), 0u);  // not open yet
    EXPECT_FALSE(out.close());
    ASSERT_TRUE(out.open());
    EXPECT_EQ(out.write("0123456789", 10), 10u);
    EXPECT_EQ(out.seek(qestl::kSeekBegin, 4), 4u);
    EXPECT_EQ(out.remaining(), 6u);
    char buffer[16] = {};
    EXPECT_EQ(out.read(buffer, 16), 6u);
    EXPECT_EQ(std::string(buffer, 6), "456789");
    out.finish();
    EXPECT_FALSE(out.isOpen());

    ReadOnlyFileStream in(qestl::widen(path("a.bin").c_str()));
    EXPECT_EQ(in.size(), ~uint64_t{0});  // not open yet
    EXPECT_EQ(in.remaining(), 0u);
    ASSERT_TRUE(in.open());
    EXPECT_EQ(in.size(), 10u);
    EXPECT_EQ(in.write("x", 1), 0u);
    EXPECT_EQ(in.seek(qestl::kSeekEnd, -3), 7u);
    EXPECT_EQ(in.read(buffer, 16), 3u);
    EXPECT_EQ(in.seek(7, 0), 10u);  // unknown origin: position stays
    EXPECT_TRUE(in.close());
    EXPECT_EQ(contents(path("a.bin")), "0123456789");
}

TEST_F(FileStreams, AppendKeepsWhatWasThere) {
    {
        FileStream first(qestl::widen(path("log").c_str()));
        ASSERT_TRUE(first.open());
        first.write("abc", 3);
    }
    FileStream again(qestl::widen(path("log").c_str()), true);
    ASSERT_TRUE(again.open());
    again.write("def", 3);
    again.close();
    EXPECT_EQ(contents(path("log")), "abcdef");
}

TEST_F(FileStreams, WidePathsReachTheSameFile) {
    // Non-ASCII names, and a name that is not valid UTF-8 at all: the wide
    // form must lead back to the very same bytes on disk.
    std::string names[] = {"\xe6\x96\x87\xe4\xbb\xb6.k", std::string("bad\xff\xfe.bin")};
    for (const std::string& name : names) {
        std::ofstream(path(name), std::ios::binary) << "payload";
        ReadOnlyFileStream in(qestl::widen(path(name).c_str()));
        ASSERT_TRUE(in.open()) << name;
        char buffer[16];
        EXPECT_EQ(in.read(buffer, 16), 7u);
    }
}

TEST_F(FileStreams, DirectoriesAndMissingFilesFailToOpen) {
    ReadOnlyFileStream dir(qestl::widen(dir_.string().c_str()));
    EXPECT_FALSE(dir.open());
    EXPECT_FALSE(dir.isOpen());
    ReadOnlyFileStream missing(qestl::widen(path("nothing").c_str()));
    EXPECT_FALSE(missing.open());
    char buffer[4];
    EXPECT_EQ(missing.read(buffer, 4), 0u);
    EXPECT_EQ(missing.seek(qestl::kSeekBegin, 2), 0u);
    FileStream intoDir(qestl::widen(dir_.string().c_str()));
    EXPECT_FALSE(intoDir.open());
}
