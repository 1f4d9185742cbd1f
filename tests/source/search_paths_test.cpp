#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "source/search_paths.h"

namespace {

namespace fs = std::filesystem;

std::string narrowed(const qestl::qestringW& text) {
    qestl::qestringA bytes = qestl::narrow(text);
    return std::string(bytes.c_str() ? bytes.c_str() : "", bytes.length());
}

class SearchPathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("korvo-search-" + std::to_string(::getpid()));
        fs::create_directories(root_ / "first");
        fs::create_directories(root_ / "second");
        std::ofstream(root_ / "second" / "only_second.k") << "x";
        std::ofstream(root_ / "first" / "both.k") << "x";
        std::ofstream(root_ / "second" / "both.k") << "x";
        addSearchPath(qestl::widen((root_ / "first").string().c_str()));
        addSearchPath(qestl::widen((root_ / "second").string().c_str()));
    }
    void TearDown() override { fs::remove_all(root_); }

    fs::path root_;
};

TEST_F(SearchPathsTest, ResolveTakesTheFirstDirectoryHoldingTheName) {
    EXPECT_EQ(narrowed(resolveIncludePath(qestl::widen("both.k"))), (root_ / "first" / "both.k").string());
    EXPECT_EQ(narrowed(resolveIncludePath(qestl::widen("only_second.k"))),
              (root_ / "second" / "only_second.k").string());
    // Joined names are normalised.
    EXPECT_EQ(narrowed(resolveIncludePath(qestl::widen("../second/./only_second.k"))),
              (root_ / "second" / "only_second.k").string());
    EXPECT_EQ(narrowed(resolveIncludePath(qestl::widen("nowhere.k"))), "nowhere.k");
}

TEST_F(SearchPathsTest, FindTestsTheNameAsWrittenBeforeTheList) {
    qestl::qestringW found;
    std::string direct = (root_ / "second" / "both.k").string();
    ASSERT_TRUE(findIncludedFile(qestl::widen(direct.c_str()), found));
    EXPECT_EQ(narrowed(found), direct);
    ASSERT_TRUE(findIncludedFile(qestl::widen("both.k"), found));
    EXPECT_EQ(narrowed(found), (root_ / "first" / "both.k").string());
    EXPECT_FALSE(findIncludedFile(qestl::widen("nowhere.k"), found));
}

TEST_F(SearchPathsTest, PrintedFormListsEveryDirectoryThenAnEmptyLine) {
    testing::internal::CaptureStdout();
    printSearchPaths();
    std::fflush(stdout);
    std::string out = testing::internal::GetCapturedStdout();
    std::string expectedTail = (root_ / "first").string() + "\n" + (root_ / "second").string() + "\n\n";
    ASSERT_EQ(out.rfind("在以下路径中查找:\n", 0), 0u);
    ASSERT_GE(out.size(), expectedTail.size());
    EXPECT_EQ(out.substr(out.size() - expectedTail.size()), expectedTail);
}

}  // namespace
