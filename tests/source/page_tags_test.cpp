#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "source/page_tags.h"
#include "source/web_server_template.h"

namespace {

struct Tag {
    std::string whole, name, attribute, value;
};

std::vector<Tag> tagsOf(const std::string& page) {
    qestl::VectorOfU64Vectors matches;
    EXPECT_TRUE(scanPageTags(matches, page.data(), page.size()));
    std::vector<Tag> tags;
    for (qestl::U64Vector& groups : matches) {
        EXPECT_EQ(groups.size(), 8u);
        auto group = [&](uint32_t g) {
            return page.substr(tagGroupStart(groups[g]), tagGroupEnd(groups[g]) - tagGroupStart(groups[g]));
        };
        tags.push_back({group(kTagWhole), group(kTagName), group(kTagAttribute), group(kTagValue)});
    }
    return tags;
}

TEST(PageTags, BlanksAllowedAroundPrefixColonAndEquals) {
    auto tags = tagsOf("a<ksp:include page=\"x.ksp\"/>b< ksp : include\tpage = \"y\" />");
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].whole, "<ksp:include page=\"x.ksp\"/>");
    EXPECT_EQ(tags[0].name, "include");
    EXPECT_EQ(tags[0].attribute, "page");
    EXPECT_EQ(tags[0].value, "x.ksp");
    EXPECT_EQ(tags[1].value, "y");
}

TEST(PageTags, ValueIsTheShortestRunUpToTheClosingQuote) {
    auto tags = tagsOf("<ksp:a b=\"1\"/> and <ksp:c d=\"2\"/>");
    ASSERT_EQ(tags.size(), 2u);
    EXPECT_EQ(tags[0].value, "1");
    EXPECT_EQ(tags[1].name, "c");
}

TEST(PageTags, MalformedTagsAreNotFound) {
    EXPECT_TRUE(tagsOf("<ksp:include page=\"x\">").empty());   // no "/>"
    EXPECT_TRUE(tagsOf("<ksp:includepage=\"x\"/>").empty());   // no blank before the attribute
    EXPECT_TRUE(tagsOf("<kspx:include page=\"x\"/>").empty());
    EXPECT_TRUE(tagsOf("").empty());
}

TEST(PageTags, OffsetsCountBytesOfMultibyteText) {
    std::string page = "中文<ksp:include page=\"页.ksp\"/>";
    auto tags = tagsOf(page);
    ASSERT_EQ(tags.size(), 1u);
    EXPECT_EQ(tags[0].value, "页.ksp");
}

TEST(PageTags, InvalidUtf8HasNoTagsAndDoesNotFail) {
    std::string page = "\xff\xfe<ksp:include page=\"x\"/>";
    EXPECT_TRUE(tagsOf(page).empty());
}

TEST(WebServerTemplate, DecodesToTheReadableCopyWithOnePlaceholder) {
    const char* root = std::getenv("KORVO_SOURCE_DIR");
    ASSERT_NE(root, nullptr);
    std::ifstream file(std::string(root) + "/tests/source/data/korvowebserver.k", std::ios::binary);
    std::stringstream readable;
    readable << file.rdbuf();
    qestl::qestringA decoded = webServerTemplate();
    std::string text(decoded.c_str(), decoded.length());
    EXPECT_EQ(text, readable.str());
    EXPECT_EQ(text.find(kRegistryPlaceholder), text.rfind(kRegistryPlaceholder));
    EXPECT_NE(text.find(kRegistryPlaceholder), std::string::npos);
    EXPECT_NE(text.find("class korvowebserver"), std::string::npos);
}

}  // namespace
