// Side files, whole-or-nothing outputs and the compressed image form.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "driver/pipeline_files.h"
#include "foundation/lzma_stream.h"

namespace {

namespace fs = std::filesystem;

class PipelineFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("korvo-pipeline-" + std::to_string(::getpid()) + "-" +
                                            testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override {
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir_);
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }
    static void put(const std::string& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    static std::string get(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static bool writeWhole(const std::string& file, const std::string& bytes) {
        return writeFileWhole(qestl::widen(file.c_str()), reinterpret_cast<const uint8_t*>(bytes.data()),
                              bytes.size());
    }

    fs::path dir_;
};

std::string capture(bool (*reader)(CompileOptions&), CompileOptions& options, bool& result) {
    testing::internal::CaptureStdout();
    result = reader(options);
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

TEST_F(PipelineFiles, ADocumentIsReplacedOnlyByAValidOne) {
    CompileOptions options;
    options.versionFile = qestl::widen(path("app.version").c_str());
    put(path("app.version"), "{\"FileVersion\": \"1.2.3.4\"}");
    bool read = false;
    EXPECT_EQ(capture(readVersionFile, options, read), "");
    ASSERT_TRUE(read);
    ASSERT_NE(jsonGetObjectItem(options.versionDocument.root(), "fileversion"), nullptr);

    put(path("app.version"), "{\"FileVersion\": ");
    EXPECT_EQ(capture(readVersionFile, options, read), "警告: 无效的版本描述文件 :" + path("app.version") + "\n");
    EXPECT_FALSE(read);
    EXPECT_NE(jsonGetObjectItem(options.versionDocument.root(), "FileVersion"), nullptr) << "kept";

    put(path("empty.version"), "");
    options.versionFile = qestl::widen(path("empty.version").c_str());
    EXPECT_EQ(capture(readVersionFile, options, read), "警告: 无效的版本描述文件 :" + path("empty.version") + "\n");

    options.kdefFile = qestl::widen(path("none.kdef").c_str());
    EXPECT_EQ(capture(readExportDefinitionFile, options, read), "警告: 无法读取导出定义文件 :" + path("none.kdef") + "\n");
    options.kdefFile = qestl::widen(dir_.string().c_str());
    EXPECT_EQ(capture(readExportDefinitionFile, options, read), "警告: 无法读取导出定义文件 :" + dir_.string() + "\n");
    put(path("lib.kdef"), "[1,");
    options.kdefFile = qestl::widen(path("lib.kdef").c_str());
    EXPECT_EQ(capture(readExportDefinitionFile, options, read), "警告: 无效的链接描述文件 :" + path("lib.kdef") + "\n");
}

TEST_F(PipelineFiles, AnOutputReplacesTheOldFileWhole) {
    put(path("out"), std::string(1000, 'x'));
    ASSERT_TRUE(writeWhole(path("out"), "short"));
    EXPECT_EQ(get(path("out")), "short");
    ASSERT_TRUE(writeWhole(path("empty"), ""));
    EXPECT_EQ(get(path("empty")), "");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2) << "no temporary left";
}

TEST_F(PipelineFiles, AFailedOutputLeavesTheOldFileAndNoTemporary) {
    EXPECT_FALSE(writeWhole(path("missing/out"), "bytes"));
    put(path("out"), "old");
    fs::create_directory(path("sub"));
    EXPECT_FALSE(writeWhole(path("sub"), "bytes")) << "a directory is not replaced";
    EXPECT_TRUE(fs::is_directory(path("sub")));
    if (::geteuid() != 0) {
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::remove);
        EXPECT_FALSE(writeWhole(path("out"), "new"));
        fs::permissions(dir_, fs::perms::owner_write, fs::perm_options::add);
        EXPECT_EQ(get(path("out")), "old");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST(CompressedImage, HeadAndIconStayPlainAndTheRestDecompresses) {
    std::string image(kImageHeadBytes, 'H');
    for (int i = 0; i < 5000; ++i) image += static_cast<char>('a' + i % 7);
    qestl::ByteVector icon;
    for (uint8_t b : {1, 2, 3}) icon.pushBack(b);
    qestl::qeByteStream stream;
    stream.appendBytes(image.data(), image.size());
    ASSERT_TRUE(compressProgramImage(stream, icon));

    const std::string out(reinterpret_cast<const char*>(stream.data()), stream.size());
    EXPECT_EQ(out.substr(0, kImageHeadBytes), image.substr(0, kImageHeadBytes));
    EXPECT_EQ(out.substr(kImageHeadBytes, 3), std::string("\x01\x02\x03"));
    qestl::qeByteStream packed(stream.data() + kImageHeadBytes + 3, stream.size() - kImageHeadBytes - 3);
    qestl::qeByteStream body;
    ASSERT_TRUE(lzmaDecompressStream(body, packed));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body.data()), body.size()), image.substr(kImageHeadBytes));
    EXPECT_EQ(packed.remaining(), 0u);

    qestl::qeByteStream shortImage;
    shortImage.appendBytes(image.data(), kImageHeadBytes - 1);
    EXPECT_FALSE(compressProgramImage(shortImage, qestl::ByteVector()));
}

}  // namespace
