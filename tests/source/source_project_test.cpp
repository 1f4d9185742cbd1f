#include <gtest/gtest.h>

#include "source/source_project.h"

namespace {

qestl::qestringW wide(const char16_t* text) { return qestl::qestringW(text); }

TEST(SourceProjectTable, PathsGetIndicesInOrderOfRegistration) {
    SourceProject project;
    EXPECT_EQ(project.addSourceFile(wide(u"a.k"), "A"), 0u);
    EXPECT_EQ(project.addSourceFile(wide(u"lib/b.k"), "B"), 1u);
    EXPECT_EQ(project.addSourceFile(wide(u"a.k"), "other"), 0u);  // nothing changes
    EXPECT_STREQ(project.fileText(0), "A");
    EXPECT_EQ(project.addSourceFile(wide(u"A.k"), "C"), 2u);       // case matters
    EXPECT_EQ(project.fileCount(), 3u);
    EXPECT_TRUE(project.findPath(wide(u"lib/b.k")));
    EXPECT_FALSE(project.findPath(wide(u"b.k")));
    EXPECT_EQ(project.filePath(1), wide(u"lib/b.k"));
    EXPECT_EQ(project.filePath(3).length(), 0u);
    EXPECT_TRUE(project.unitHandle(2)->empty());
    EXPECT_EQ(project.unitHandle(3), nullptr);
}

TEST(SourceProjectTable, RegisteringAMappedTextRenumbersEverything) {
    SourceProject project;
    MappedText page;
    page.assign("<% x %>", 7);
    uint32_t pageId = page.id;
    EXPECT_GE(pageId, 0x100000u);
    ASSERT_EQ(page.segments.size(), 1u);
    EXPECT_EQ(page.segments[0].end, 7u);

    MappedText copy = page;
    copy.segments.pushBack(LineMapSegment{7, 9, pageId});
    project.storeMappedText(static_cast<int32_t>(pageId), page);
    project.storeMappedText(20000000, copy);
    project.textIds.findOrInsert(static_cast<int32_t>(pageId))->value = 42;

    project.registerMappedText(pageId, 5);
    ASSERT_NE(project.mappedText(5), nullptr);
    EXPECT_EQ(project.mappedText(5)->id, 5u);
    EXPECT_EQ(project.mappedText(static_cast<int32_t>(pageId)), nullptr);
    const MappedText* moved = project.mappedText(5 + 10000001);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->segments[1].textId, 5u);
    EXPECT_EQ(project.mappedTextCount(), 2u);
    EXPECT_EQ(project.textIds.find(static_cast<int32_t>(pageId)), nullptr);
    ASSERT_NE(project.textIds.find(5), nullptr);
    EXPECT_EQ(project.textIds.find(5)->value, 42);
}

TEST(IncludeGuard, InsertEraseAndReuse) {
    IncludeGuardSet guard;
    guard.insert(wide(u"x.k"));
    guard.insert(wide(u"x.k"));
    EXPECT_EQ(guard.size(), 1u);
    EXPECT_FALSE(guard.contains(wide(u"X.k")));
    guard.insert(wide(u"dir/y.k"));
    guard.erase(wide(u"x.k"));
    EXPECT_TRUE(guard.contains(wide(u"dir/y.k")));
    guard.erase(wide(u"dir/y.k"));
    EXPECT_EQ(guard.size(), 0u);
    guard.insert(wide(u"x.k"));
    EXPECT_TRUE(guard.contains(wide(u"x.k")));
    guard.erase(wide(u"x.k"));
}

}  // namespace
