#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "driver/entry.h"
#include "source/search_paths.h"

namespace {

bool listed(const std::string& path) {
    for (const qestl::qestringW& entry : searchPaths()) {
        if (std::string(qestl::narrow(entry).c_str()) == path) return true;
    }
    return false;
}

TEST(SearchPaths, DuplicatesDifferingInAsciiCaseAreSkipped) {
    size_t before = searchPaths().size();
    addSearchPath(qestl::widen("/Search/Case"));
    addSearchPath(qestl::widen("/search/CASE"));
    EXPECT_EQ(searchPaths().size(), before + 1);
    // Only ASCII letters fold: these are two directories.
    addSearchPath(qestl::widen("/search/É"));
    addSearchPath(qestl::widen("/search/é"));
    EXPECT_EQ(searchPaths().size(), before + 3);
    // Same letters, different length.
    addSearchPath(qestl::widen("/search/case/"));
    EXPECT_EQ(searchPaths().size(), before + 4);
}

class IncludePaths : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/korvo-incpath-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root_ = pattern;
        ASSERT_EQ(mkdir((root_ + "/inc").c_str(), 0700), 0);
        ASSERT_EQ(mkdir((root_ + "/inc/sub").c_str(), 0700), 0);
    }
    void TearDown() override {
        rmdir((root_ + "/inc/sub").c_str());
        rmdir((root_ + "/inc").c_str());
        rmdir(root_.c_str());
    }
    std::string root_;
};

TEST_F(IncludePaths, ARelativeEntryIsFoundUnderAnotherEntry) {
    CompileOptions options;
    options.includePaths.pushBack(qestl::widen((root_ + "/inc").c_str()));
    options.includePaths.pushBack(qestl::widen("sub"));
    testing::internal::CaptureStdout();
    EXPECT_TRUE(checkIncludePaths(options));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_TRUE(listed(root_ + "/inc"));
    EXPECT_TRUE(listed(root_ + "/inc/sub"));
}

TEST_F(IncludePaths, AnEntryFoundNowhereStopsTheCheck) {
    CompileOptions options;
    options.includePaths.pushBack(qestl::widen((root_ + "/inc").c_str()));
    options.includePaths.pushBack(qestl::widen("nothere"));
    options.includePaths.pushBack(qestl::widen((root_ + "/inc/sub").c_str()));
    testing::internal::CaptureStdout();
    EXPECT_FALSE(checkIncludePaths(options));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "找不到路径: nothere\n");
}

TEST(IncludePathList, EmptyListPasses) {
    CompileOptions options;
    EXPECT_TRUE(checkIncludePaths(options));
}

}  // namespace
