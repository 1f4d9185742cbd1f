#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "foundation/logger.h"
#include "options/compile_options.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

namespace fs = std::filesystem;

class RecordingSink final : public qestl::qelogcat_stream {
public:
    int write(uint32_t, const char* text, uint32_t length) override {
        lines.emplace_back(text, length);
        return 0;
    }
    std::vector<std::string> lines;
};

void collect(const qeAbstractNode* node, std::vector<const qeAbstractNode*>& out) {
    if (node == nullptr) return;
    out.push_back(node);
    for (const _KNode<qeAbstractNode>& operand : node->operands) collect(operand.get(), out);
    for (const _KNode<qeAbstractNode>& child : node->children) collect(child.get(), out);
}

class SourceProcessorTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("korvo-processor-" + std::to_string(::getpid()));
        fs::create_directories(root_);
        logcatSetUp();
        logcatAddSink(&sink_);
    }
    void TearDown() override {
        logcatSetUp();
        fs::remove_all(root_);
    }

    std::string write(const std::string& name, const std::string& bytes) {
        fs::path path = root_ / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    int parse(const std::vector<std::string>& files, const char* webRoot = nullptr) {
        CompileOptions options;
        for (const std::string& file : files) options.sourceFiles.pushBack(qestl::widen(file.c_str()));
        if (webRoot != nullptr) {
            options.serverPages = 1;
            options.webRoot = qestl::qestringA(webRoot);
        }
        return processor_.parseProject(project_, options);
    }

    std::vector<const qeAbstractNode*> nodes() const {
        std::vector<const qeAbstractNode*> all;
        collect(project_.root.get(), all);
        return all;
    }

    fs::path root_;
    RecordingSink sink_;
    SourceProject project_;
    qeSourceProcessor processor_;
};

TEST_F(SourceProcessorTest, CommentsEndingOneFileStayOutOfTheNext) {
    std::string first = write("one.k", "class A {\n};\n// trailing of one\n");
    std::string second = write("two.k", "// about B\n\n/* more */\nclass B {\n};\n");
    ASSERT_EQ(parse({first, second}), 0);
    bool attached = false;
    for (const qeAbstractNode* node : nodes()) {
        EXPECT_EQ(node->docComment().view().find("trailing"), std::string_view::npos) << node->text.view();
        if (node->docComment().view() == "// about B\n/* more */") attached = true;
    }
    EXPECT_TRUE(attached);
}

TEST_F(SourceProcessorTest, ByteOrderMarkIsSkippedAndPositionsCountAfterIt) {
    std::string path = write("bom.k", "\xEF\xBB\xBF" "ab#");
    EXPECT_EQ(parse({path}), 102);
    ASSERT_FALSE(sink_.lines.empty());
    EXPECT_EQ(sink_.lines[0], path + "(行:1, 字:3) [Error]错误:\n\n语法错误 不可识别的字符:" + path + "\n");
}

TEST_F(SourceProcessorTest, TextEndsAtItsFirstNulByte) {
    std::string path = write("nul.k", std::string("class A {\n};\n\0 ### not source", 29));
    EXPECT_EQ(parse({path}), 0);
    EXPECT_TRUE(sink_.lines.empty());
}

TEST_F(SourceProcessorTest, OneFileTwiceIsRegisteredOnce) {
    std::string path = write("same.k", "class A {\n};\n");
    ASSERT_EQ(parse({path, path}), 0);
    EXPECT_EQ(project_.fileCount(), 1u);
    ASSERT_EQ(project_.root->children.size(), 2u);
    const qeAbstractNode* again = project_.root->children[1].get();
    ASSERT_EQ(again->children.size(), 1u);
    EXPECT_EQ(again->children[0]->fileIndex, project_.root->children[0]->fileIndex);
}

// A file read is known again under another spelling; a file made after it was
// deleted is a new file, even when it takes over its number (ext4 hands a
// freed number out again at once), for `require` and the include guard.
TEST_F(SourceProcessorTest, AFileTakingTheNumberOfADeletedOneIsNotTheFileRead) {
    const std::string a = write("a.k", "class A {\n};\n");
    ASSERT_EQ(parse({a}), 0);
    const std::string spelt = (root_ / "." / "a.k").string();
    EXPECT_TRUE(project_.findPath(qestl::widen(spelt.c_str())));
    IncludeGuardSet guard;
    guard.insert(qestl::widen(a.c_str()));
    EXPECT_TRUE(guard.contains(qestl::widen(spelt.c_str())));

    struct stat gone {};
    ASSERT_EQ(::stat(a.c_str(), &gone), 0);
    fs::remove(a);
    bool reused = false;
    std::string c;
    for (int i = 0; i < 8 && !reused; ++i) {
        c = write("c" + std::to_string(i) + ".k", "class C {\n};\n");
        struct stat made {};
        ASSERT_EQ(::stat(c.c_str(), &made), 0);
        reused = made.st_ino == gone.st_ino && made.st_dev == gone.st_dev;
    }
    RecordProperty("number_reused", reused ? "yes" : "no");
    EXPECT_FALSE(project_.findPath(qestl::widen(c.c_str())));
    EXPECT_FALSE(guard.contains(qestl::widen(c.c_str())));
    EXPECT_TRUE(guard.erase(qestl::widen(a.c_str())));
}

// Generated printing calls name fragments by number; only those of the page
// being parsed are printed, and only a call with one integer argument.
TEST_F(SourceProcessorTest, FragmentCallsPrintOnlyFragmentsOfTheirOwnPage) {
    std::string web = (root_ / "www").string();
    std::string first = write("www/first.ksp", "<p>one</p>");
    std::string second = write("www/second.ksp",
                               "<% ___print_html_source__(0); ___print_html_source__(1);"
                               " ___print_html_source__(1, 2); ___print_html_source__(\"1\"); %><i>two</i>");
    ASSERT_EQ(parse({first, second}, web.c_str()), 0);
    ASSERT_EQ(processor_.htmlFragments().size(), 2u);

    // The root is the first page's unit, holding its own tree, then the
    // second page's unit and the web-server class.
    ASSERT_EQ(project_.root->children.size(), 3u);
    std::vector<const qeAbstractNode*> firstPage;
    collect(project_.root->children[0].get(), firstPage);
    std::vector<const qeAbstractNode*> secondPage;
    collect(project_.root->children[1].get(), secondPage);
    auto count = [](const std::vector<const qeAbstractNode*>& in, std::string_view text) {
        int n = 0;
        for (const qeAbstractNode* node : in) n += node->text.view() == text;
        return n;
    };
    EXPECT_EQ(count(firstPage, "<p>one</p>"), 1);
    EXPECT_EQ(count(firstPage, "___print_html_source__"), 0);
    // The written (1) and the generated call print; (0), two arguments and a
    // string argument stay calls as written.
    EXPECT_EQ(count(secondPage, "<i>two</i>"), 2);
    EXPECT_EQ(count(secondPage, "<p>one</p>"), 0);
    EXPECT_EQ(count(secondPage, "___print_html_source__"), 3);
}

TEST_F(SourceProcessorTest, FragmentCallOutsideAPageStaysAsWritten) {
    std::string web = (root_ / "www").string();
    std::string page = write("www/page.ksp", "<p>one</p>");
    std::string plain = write("plain.k", "void f() { ___print_html_source__(0); }\n");
    ASSERT_EQ(parse({page, plain}, web.c_str()), 0);
    // The root is the page's unit: its first child is the page's own tree.
    ASSERT_EQ(project_.root->children.size(), 3u);
    std::vector<const qeAbstractNode*> plainUnit;
    collect(project_.root->children[1].get(), plainUnit);
    int calls = 0;
    for (const qeAbstractNode* node : plainUnit) {
        EXPECT_NE(node->text.view(), "<p>one</p>");
        calls += node->text.view() == "___print_html_source__";
    }
    EXPECT_EQ(calls, 1);
}

TEST_F(SourceProcessorTest, NodesOfPageCodeCarryPageLines) {
    std::string web = (root_ / "www").string();
    std::string page = write("www/lines.ksp", "<p>x</p>\n\n  <% int counter = 1; %>\n<i>y</i>");
    ASSERT_EQ(parse({page}, web.c_str()), 0);
    std::vector<const qeAbstractNode*> all;
    collect(project_.root.get(), all);
    const qeAbstractNode* counter = nullptr;
    for (const qeAbstractNode* node : all) {
        if (node->text.view() == "counter") counter = node;
    }
    ASSERT_NE(counter, nullptr);
    EXPECT_EQ(counter->startLine, 2u);
    EXPECT_EQ(counter->startColumn, 9u);
}

}  // namespace
