#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "foundation/json.h"
#include "foundation/qestring.h"

namespace {

// Parses from a heap block of exactly the text's size, without a terminator,
// so that any read past the end is caught by the address sanitizer.
JsonNode* parseExact(const std::string& text) {
    std::unique_ptr<char[]> block(new char[text.size() ? text.size() : 1]);
    std::memcpy(block.get(), text.data(), text.size());
    return parseJsonText(block.get(), text.size());
}

struct Document {
    explicit Document(const std::string& text) : root(parseExact(text)) {}
    ~Document() { jsonRelease(root); }
    JsonNode* root;
};

std::string printed(JsonNode* node, bool formatted) {
    char* text = jsonPrintValue(node, 0, formatted);
    if (!text) return "<failed>";
    std::string result(text);
    jsonFree(text);
    return result;
}

std::string formattedText(const std::string& json) {
    cbjson document;
    if (!document.parse(json.data(), json.size())) return "<invalid>";
    qestl::qestringA out;
    document.toText(out);
    return std::string(out.c_str(), out.length());
}

const char* stringOf(JsonNode* node) { return node && node->value ? node->value->string : nullptr; }

TEST(Json, PrintsObjectsTabbedAndArraysInline) {
    EXPECT_EQ(formattedText("{\"a\":1,\"b\":[1,2]}"), "{\n\t\"a\":\t1,\n\t\"b\":\t[1, 2]\n}");
    // An empty object closes one tab short of its depth.
    EXPECT_EQ(formattedText("{\"o\":{\"p\":{}},\"e\":{}}"), "{\n\t\"o\":\t{\n\t\t\"p\":\t{\n\t}\n\t},\n\t\"e\":\t{\n}\n}");
    EXPECT_EQ(formattedText("{}"), "{\n}");
    EXPECT_EQ(formattedText("[[], [{}]]"), "[[], [{\n\t}]]");
    Document document("{\"a\" : [ 1 , \"x\" ] , \"b\":null}");
    EXPECT_EQ(printed(document.root, false), "{\"a\":[1,\"x\"],\"b\":null}");
}

TEST(Json, ReadsWhatItPrints) {
    // Blanks after ',' and ':' as the printer writes them, and ordinary JSON.
    std::string once = formattedText("{\"a\":[1,2,{\"b\":[true,false,null]}],\"c\":\"d\"}");
    EXPECT_EQ(formattedText(once), once);
    EXPECT_NE(formattedText("[ 1 ,\n 2 ]"), "<invalid>");
    EXPECT_NE(formattedText("{ \"k\" :\n\t\"v\" ,\r\n \"l\" : 1 }"), "<invalid>");
}

TEST(Json, LeadingBlanksAndTrailingTextAreIgnored) {
    Document document(" \n\t\r{\"a\":1} and then some");
    ASSERT_NE(document.root, nullptr);
    EXPECT_EQ(printed(document.root, false), "{\"a\":1}");
}

TEST(Json, RejectsBadDocuments) {
    for (const char* bad : {"", "   ", "nul", "tru", "[1 2]", "{1:2}", "{\"a\" 1}", "{\"a\":}", "[", "[1,",
                            "{\"a\":1", "{\"a\":1,}", "[1,]", "x", "]", "{\"a\":[1}"}) {
        Document document(bad);
        EXPECT_EQ(document.root, nullptr) << bad;
    }
}

TEST(Json, TextEndsAtFirstZeroByte) {
    std::string text("[1,2]", 5);
    text.insert(3, 1, '\0');
    Document document(text);
    EXPECT_EQ(document.root, nullptr);
}

TEST(Json, DecodesUnicodeEscapes) {
    Document document(
        "[\"\\u00e9\", \"\\ud83d\\ude00\", \"a\\udc00b\", \"a\\u0000b\", \"\\ud800\\u0041\", \"\\uzz12x\","
        " \"\\q\\/\\\"\\b\\f\\n\\r\\t\"]");
    ASSERT_NE(document.root, nullptr);
    JsonNode* item = document.root->value->child;
    EXPECT_STREQ(stringOf(item), "\xC3\xA9");
    EXPECT_STREQ(stringOf(item = item->next), "\xF0\x9F\x98\x80");
    EXPECT_STREQ(stringOf(item = item->next), "ab");  // lone low surrogate
    EXPECT_STREQ(stringOf(item = item->next), "ab");  // \u0000
    EXPECT_STREQ(stringOf(item = item->next), "A");   // unpaired high keeps what follows
    EXPECT_STREQ(stringOf(item = item->next), "x");   // bad hex digits give 0
    EXPECT_STREQ(stringOf(item = item->next), "q/\"\b\f\n\r\t");
}

TEST(Json, StringsCutOffByTheEndStopThere) {
    struct Case {
        const char* text;
        const char* value;
    } cases[] = {
        {"\"abc", "abc"}, {"\"abc\\", "abc"}, {"\"ab\\u12", "ab"}, {"\"ab\\u", "ab"},
        {"\"\\ud83d\\ude0", ""}, {"\"x\\u12\"", "x"},
    };
    for (const Case& c : cases) {
        Document document(c.text);
        ASSERT_NE(document.root, nullptr) << c.text;
        EXPECT_STREQ(stringOf(document.root), c.value) << c.text;
    }
    Document inObject("{\"a\":\"b\\");
    EXPECT_EQ(inObject.root, nullptr);
}

TEST(Json, NumbersReadAndPrint) {
    struct Case {
        const char* text;
        double number;
        int64_t integer;
        const char* printed;
    } cases[] = {
        {"1.5e3", 1500, 1500, "1500"},
        {"-42", -42, -42, "-42"},
        {"0123", 123, 123, "123"},
        {"-", -0.0, 0, "0"},
        {"3e9", 3e9, 3000000000LL, "3000000000"},
        {"0.5", 0.5, 0, "0.500000"},
        {"1e-7", 1e-7, 0, "1.000000e-07"},
        {"1E+10", 1e10, 10000000000LL, "10000000000"},
        {"2.5e10", 2.5e10, 25000000000LL, "25000000000"},
        {"1.25e70", 1.25e70, INT64_MAX, "1.250000e+70"},
        {"-2147483648", -2147483648.0, -2147483648LL, "-2147483648"},
    };
    for (const Case& c : cases) {
        Document document(c.text);
        ASSERT_NE(document.root, nullptr) << c.text;
        EXPECT_EQ(jsonKind(document.root->value), kJsonNumber);
        EXPECT_DOUBLE_EQ(document.root->value->number, c.number) << c.text;
        EXPECT_EQ(document.root->value->integer, c.integer) << c.text;
        EXPECT_EQ(printed(document.root, false), c.printed) << c.text;
    }
}

TEST(Json, ExtremeNumbersStayDefined) {
    Document huge("1e99999999999999999999");
    ASSERT_NE(huge.root, nullptr);
    EXPECT_TRUE(std::isinf(huge.root->value->number));
    EXPECT_EQ(huge.root->value->integer, INT64_MAX);
    Document tiny("-1e-99999999999999999999");
    ASSERT_NE(tiny.root, nullptr);
    EXPECT_EQ(tiny.root->value->number, 0.0);
    std::string longDigits(400, '9');
    Document digits(longDigits + "e-400");
    ASSERT_NE(digits.root, nullptr);  // infinity times zero: NaN, integer 0
    EXPECT_EQ(digits.root->value->integer, 0);
}

TEST(Json, NestingIsBoundedNotRecursedWithoutLimit) {
    auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
    Document deepest(nested(kJsonMaxDepth));
    ASSERT_NE(deepest.root, nullptr);
    EXPECT_NE(printed(deepest.root, true), "<failed>");
    Document tooDeep(nested(kJsonMaxDepth + 1));
    EXPECT_EQ(tooDeep.root, nullptr);
    Document hostile(std::string(100000, '[') + std::string(100000, ']'));
    EXPECT_EQ(hostile.root, nullptr);
    std::string objects;
    for (int i = 0; i < 100000; ++i) objects += "{\"a\":";
    Document hostileObjects(objects);
    EXPECT_EQ(hostileObjects.root, nullptr);
}

TEST(Json, EveryTruncationOfADocumentIsSafe) {
    const std::string text =
        "{\"FileVersion\": \"1.2.3.4\", \"list\": [1, -2.5e-3, true, null, \"\\u00e9\\ud83d\\ude00\\\"\"],"
        " \"o\": {\"k\": {}}}";
    for (size_t cut = 0; cut < text.size(); ++cut) {
        Document document(text.substr(0, cut));
        EXPECT_EQ(document.root, nullptr) << cut;  // the closing brace is missing
    }
    Document whole(text);
    EXPECT_NE(whole.root, nullptr);
}

TEST(Json, PrintsStringsWithEscapes) {
    JsonNode* node = jsonCreateString("q\"b\\\b\f\n\r\t\x01\x1f\x7f\xc3\xa9");
    EXPECT_EQ(printed(node, false), "\"q\\\"b\\\\\\b\\f\\n\\r\\t\\u0001\\u001f\x7f\xc3\xa9\"");
    jsonRelease(node);
    node = jsonCreateString("");
    EXPECT_EQ(printed(node, false), "\"\"");
    jsonRelease(node);
}

TEST(Json, LooksUpMembersIgnoringCase) {
    Document document("{\"FileVersion\":\"1\",\"fileversion\":\"2\",\"Other\":3}");
    EXPECT_STREQ(stringOf(jsonGetObjectItem(document.root, "FILEVERSION")), "1");
    EXPECT_EQ(jsonGetObjectItem(document.root, "missing"), nullptr);
    EXPECT_EQ(jsonGetObjectItem(document.root, "FileVersio"), nullptr);
    Document empty("{}");
    EXPECT_EQ(jsonGetObjectItem(empty.root, "a"), nullptr);
}

TEST(Json, BuildsObjects) {
    Document document("{\"a\":1}");
    char key[] = "first";
    jsonAddItemToObject(document.root, key, jsonCreateString("v"));
    key[0] = 'X';  // the member keeps its own copy
    jsonAddItemToObject(document.root, "ignored", nullptr);
    EXPECT_EQ(printed(document.root, false), "{\"a\":1,\"first\":\"v\"}");
    EXPECT_EQ(document.root->value->child->next->prev, document.root->value->child);

    // A member moved to another object gets the new key; the old one is freed.
    Document source("{\"old\":\"w\"}");
    JsonNode* moved = source.root->value->child;
    source.root->value->child = nullptr;
    Document fresh("{}");
    jsonAddItemToObject(fresh.root, "new", moved);
    EXPECT_EQ(printed(fresh.root, false), "{\"new\":\"w\"}");
}

TEST(Json, CyclicTreePrintsNothingAndLeavesNoMarks) {
    Document document("{\"a\":{\"b\":1},\"c\":[2]}");
    JsonNode* inner = document.root->value->child;  // "a"
    JsonNode* savedChild = inner->value->child;
    inner->value->child = document.root;  // "a" now contains the root
    cbjson holder(document.root);
    qestl::qestringA out("unchanged");
    holder.toText(out);
    EXPECT_EQ(out, std::string_view("unchanged"));
    EXPECT_EQ(document.root->visited, 0);
    EXPECT_EQ(inner->visited, 0);
    EXPECT_EQ(inner->next->visited, 0);
    inner->value->child = savedChild;
    holder.toText(out);
    EXPECT_EQ(out, std::string_view("{\n\t\"a\":\t{\n\t\t\"b\":\t1\n\t},\n\t\"c\":\t[2]\n}"));
    holder.detach();
}

TEST(Json, ReleaseStopsAtNodesStillReferenced) {
    JsonNode* root = parseExact("[\"one\",\"two\"]");
    ASSERT_NE(root, nullptr);
    JsonNode* first = root->value->child;
    jsonRetain(first);
    EXPECT_EQ(jsonRefCount(first), 2);
    jsonRelease(root);  // the members survive: the chain is still referenced
    EXPECT_STREQ(stringOf(first), "one");
    EXPECT_STREQ(stringOf(first->next), "two");
    jsonRelease(first);  // frees both members; the leak checker sees the rest
}

TEST(Json, DocumentKeepsItsTreeWhenParseFails) {
    cbjson document;
    ASSERT_TRUE(document.parse("[1]", 3));
    JsonNode* before = document.root();
    EXPECT_FALSE(document.parse("[1", 2));
    EXPECT_EQ(document.root(), before);
    qestl::qestringA out("x");
    cbjson().toText(out);  // an empty document prints nothing
    EXPECT_EQ(out, std::string_view("x"));
}

}  // namespace
