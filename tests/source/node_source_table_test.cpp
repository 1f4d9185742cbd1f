// The table of source files the nodes' file indices point into, its
// generated texts, and the include guard.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/ast_nodes.h"
#include "source/source_project.h"

namespace {

qestl::qestringW wide(const char16_t* text) { return qestl::qestringW(text); }

TEST(SourceProject, APathRegisteredTwiceKeepsItsIndex) {
    SourceProject project;
    const char* first = "class A {};";
    EXPECT_EQ(project.addSourceFile(wide(u"a.k"), first), 0u);
    EXPECT_EQ(project.addSourceFile(wide(u"lib/b.k"), "b"), 1u);
    EXPECT_EQ(project.addSourceFile(wide(u"a.k"), "other text"), 0u);
    EXPECT_EQ(project.fileCount(), 2u);
    EXPECT_TRUE(project.findPath(wide(u"lib/b.k")));
    EXPECT_STREQ(project.fileText(0), first);
}

TEST(SourceProject, PathsDifferingInCaseOrLengthAreDifferentFiles) {
    SourceProject project;
    EXPECT_EQ(project.addSourceFile(wide(u"Main.k"), ""), 0u);
    EXPECT_EQ(project.addSourceFile(wide(u"main.k"), ""), 1u);
    EXPECT_EQ(project.addSourceFile(wide(u"main.k "), ""), 2u);
    EXPECT_EQ(project.addSourceFile(wide(u"main.kk"), ""), 3u);
    EXPECT_FALSE(project.findPath(wide(u"MAIN.K")));
    EXPECT_TRUE(project.filePath(0) == wide(u"Main.k"));
    EXPECT_TRUE(project.filePath(1) == wide(u"main.k"));
}

TEST(SourceProject, APathPastTheLastFileIsEmpty) {
    SourceProject project;
    EXPECT_TRUE(project.filePath(0).empty());
    project.addSourceFile(wide(u"x.k"), "");
    EXPECT_TRUE(project.filePath(1).empty());
    EXPECT_TRUE(project.filePath(0xFFFFFFFFu).empty());
    EXPECT_EQ(project.unitHandle(1), nullptr);
    EXPECT_EQ(project.fileText(1), nullptr);
}

TEST(SourceProject, InsertingAPathFindsOrMakesItsEntry) {
    SourceProject project;
    auto* made = project.insertPath(wide(u"p.k"), 9, false);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->value, 0u);  // a look-up inserts, but assigns only when asked
    EXPECT_TRUE(project.findPath(wide(u"p.k")));
    EXPECT_EQ(project.insertPath(wide(u"p.k"), 4, true), made);
    EXPECT_EQ(made->value, 4u);
}

TEST(SourceProject, UnitsAreKeptByFileIndex) {
    SourceProject project;
    project.addSourceFile(wide(u"u.k"), "");
    ASSERT_NE(project.unitHandle(0), nullptr);
    EXPECT_TRUE(project.unitHandle(0)->empty());
    auto unit = makeAstNode(NodeKind::SourceUnit, "u.k");
    *project.unitHandle(0) = unit;
    project.addSourceFile(wide(u"v.k"), "");  // the table grows: the handle moves along
    EXPECT_EQ(project.unitHandle(0)->get(), unit.get());
    EXPECT_EQ(unit->refCount, 2u);
}

TEST(MappedText, EachAssignmentTakesANewIdAsOneSegment) {
    MappedText first;
    first.assign("abc", 3);
    MappedText second;
    second.assign("de", 2);
    EXPECT_GE(first.id, 0x100000u);
    EXPECT_EQ(second.id, first.id + 1);
    ASSERT_EQ(second.segments.size(), 1u);
    EXPECT_EQ(second.segments[0].start, 0u);
    EXPECT_EQ(second.segments[0].end, 2u);
    EXPECT_EQ(second.segments[0].textId, second.id);

    MappedText copy(second);
    EXPECT_EQ(copy.id, second.id);
    EXPECT_EQ(copy.text, std::string_view("de"));
    copy.clear();
    EXPECT_EQ(copy.segments.size(), 0u);
    EXPECT_EQ(copy.text.length(), 0u);
}

TEST(SourceProject, RegisteringATextRenumbersItEverywhere) {
    SourceProject project;
    MappedText page;
    page.assign("<html/>", 7);
    const uint32_t pageId = page.id;
    MappedText servlet;
    servlet.assign("class S {}", 10);
    servlet.segments.pushBack(LineMapSegment{10, 17, pageId});
    project.storeMappedText(static_cast<int32_t>(pageId), page);
    project.storeMappedText(static_cast<int32_t>(servlet.id) + 10000001, servlet);
    if (auto* entry = project.textIds.findOrInsert(static_cast<int32_t>(pageId))) entry->value = 42;

    project.registerMappedText(pageId, 3);

    EXPECT_EQ(project.mappedText(static_cast<int32_t>(pageId)), nullptr);
    const MappedText* renamed = project.mappedText(3);
    ASSERT_NE(renamed, nullptr);
    EXPECT_EQ(renamed->id, 3u);
    EXPECT_EQ(renamed->segments[0].textId, 3u);
    const MappedText* other = project.mappedText(static_cast<int32_t>(servlet.id) + 10000001);
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(other->segments[0].textId, servlet.id);
    EXPECT_EQ(other->segments[1].textId, 3u);

    EXPECT_EQ(project.textIds.find(static_cast<int32_t>(pageId)), nullptr);
    auto* moved = project.textIds.find(3);
    ASSERT_NE(moved, nullptr);
    EXPECT_EQ(moved->value, 42);
}

TEST(IncludeGuardSet, ErasingTheOnlyPathLeavesASetThatStillWorks) {
    IncludeGuardSet guard;
    guard.insert(wide(u"a.k"));
    guard.insert(wide(u"a.k"));
    EXPECT_EQ(guard.size(), 1u);
    EXPECT_TRUE(guard.erase(wide(u"a.k")));
    EXPECT_EQ(guard.size(), 0u);
    EXPECT_FALSE(guard.erase(wide(u"a.k")));
    guard.insert(wide(u"b.k"));
    EXPECT_TRUE(guard.contains(wide(u"b.k")));
    EXPECT_FALSE(guard.contains(wide(u"B.k")));
}

TEST(IncludeGuardSet, ManyPathsInAndOut) {
    IncludeGuardSet guard;
    std::vector<qestl::qestringW> paths;
    for (int i = 0; i < 200; ++i) {
        std::u16string name = u"dir/" + std::u16string(static_cast<size_t>(i % 7), u'x');
        name += static_cast<char16_t>(u'a' + i % 26);
        name += static_cast<char16_t>(u'A' + i / 26);
        paths.push_back(qestl::qestringW(name.c_str()));
        guard.insert(paths.back());
    }
    EXPECT_EQ(guard.size(), 200u);
    for (size_t i = 0; i < paths.size(); i += 2) EXPECT_TRUE(guard.erase(paths[i]));
    for (size_t i = 0; i < paths.size(); ++i) EXPECT_EQ(guard.contains(paths[i]), i % 2 == 1) << i;
}

}  // namespace
