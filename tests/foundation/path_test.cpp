#include <gtest/gtest.h>

#include <string>

#include "foundation/path.h"
#include "foundation/qestring.h"

using qestl::qestringA;
using qestl::qestringW;

namespace {

std::string joined(const char* path, const char* part) {
    qestringA text(path);
    qestl::appendPath(text, part);
    return std::string(text.c_str(), text.length());
}

std::string normalised(const char* path) {
    qestringW wide = qestl::widen(path);
    qestl::normaliseWidePath(wide);
    EXPECT_EQ(wide.c_str()[wide.length()], 0);
    qestringA back = qestl::narrow(wide);
    return std::string(back.c_str(), back.length());
}

std::string normalisedNarrow(const char* path) {
    qestringA text(path);
    qestl::normalisePath(text);
    return std::string(text.c_str(), text.length());
}

std::string relative(const char* target, const char* base) {
    qestringA result = qestl::relativePath(qestringA(target), qestringA(base));
    return std::string(result.c_str(), result.length());
}

TEST(Path, AppendPutsOneSeparatorBetween) {
    EXPECT_EQ(joined("a\\", "\\b"), "a\\b");
    EXPECT_EQ(joined("a/", "//b"), "a/b");
    EXPECT_EQ(joined("a", "b"), "a/b");
    EXPECT_EQ(joined("a", "\\b"), "a\\b");
    EXPECT_EQ(joined("", "/b"), "/b");
    EXPECT_EQ(joined("a", ""), "a/");
    EXPECT_EQ(joined("a/", "/"), "a/");
    qestringW wide = qestl::widen("dir");
    qestl::appendPath(wide, u"file.k");
    EXPECT_EQ(wide, std::u16string_view(u"dir/file.k"));
}

TEST(Path, Normalise) {
    EXPECT_EQ(normalised("a/./b"), "a/b");
    EXPECT_EQ(normalised("a\\..\\b"), "b");
    EXPECT_EQ(normalised("c:\\x\\y\\..\\z"), "c:/x/z");
    EXPECT_EQ(normalised("..\\a"), "../a");
    EXPECT_EQ(normalised("a//b"), "a/b");
    EXPECT_EQ(normalised("\\\\server\\share"), "/server/share");
    EXPECT_EQ(normalised("a/."), "a/");
    EXPECT_EQ(normalised("a/b/.."), "a/");
    EXPECT_EQ(normalised("./a"), "a");
    EXPECT_EQ(normalised("a/../../b"), "../b");
    EXPECT_EQ(normalised("../../a/b/../c"), "../../a/c");
    EXPECT_EQ(normalised("/x/.a/.../y"), "/x/.a/.../y");
    EXPECT_EQ(normalised(""), "");
}

// The narrow form keeps UTF-8 names whole and agrees with the wide one.
TEST(Path, NormaliseNarrow) {
    EXPECT_EQ(normalisedNarrow("a/./b//c/../d"), "a/b/d");
    EXPECT_EQ(normalisedNarrow("a\\.\\b\\\\c\\..\\d"), "a/b/d");
    EXPECT_EQ(normalisedNarrow("../y"), "../y");
    EXPECT_EQ(normalisedNarrow("/src/\xC3\xA9t\xC3\xA9/../\xE4\xB8\xAD.k"), "/src/\xE4\xB8\xAD.k");
    EXPECT_EQ(normalisedNarrow(""), "");
}

TEST(Path, Relative) {
    EXPECT_EQ(relative("c:\\proj\\inc\\a.h", "c:\\proj\\src"), "../inc/a.h");
    EXPECT_EQ(relative("c:\\proj\\a.h", "c:\\proj"), "./a.h");
    EXPECT_EQ(relative("c:\\Proj\\a.h", "c:\\proj\\"), "a.h");
    EXPECT_EQ(relative("c:/proj/a.h", "c:\\PROJ\\src\\deep"), "../../a.h");
    EXPECT_EQ(relative("/web/pages/index.ksp", "/web"), "./pages/index.ksp");
    EXPECT_EQ(relative("d:/other/x", "c:/proj"), "../../d:/other/x");
}

TEST(Path, RelativeNeedsWholeComponents) {
    // "src" is a prefix of "srcx" but not the same directory.
    EXPECT_EQ(relative("/p/srcx/a.h", "/p/src"), "../srcx/a.h");
    // A base ending in a separator steps up once per directory.
    EXPECT_EQ(relative("/p/inc/a.h", "/p/src/"), "../inc/a.h");
    EXPECT_EQ(relative("/p/src", "/p/src"), "");
}

}  // namespace
