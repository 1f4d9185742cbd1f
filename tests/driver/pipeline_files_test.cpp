// The .version and .kdef side files.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "driver/pipeline_files.h"

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

}  // namespace
