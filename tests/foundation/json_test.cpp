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
    // Blanks anywhere between tokens, before the value and text behind it are all let through.
    Document document(" \n\t{\"a\" : [ 1 ,\r\n \"x\" ] , \"b\":null} and then some");
    EXPECT_EQ(printed(document.root, false), "{\"a\":[1,\"x\"],\"b\":null}");
}

TEST(Json, RejectsBadDocuments) {
    for (const char* bad : {"", "   ", "nul", "tru", "[1 2]", "{1:2}", "{\"a\" 1}", "{\"a\":}", "[", "[1,",
                            "{\"a\":1", "{\"a\":1,}", "[1,]", "x", "]", "{\"a\":[1}"}) {
        Document document(bad);
        EXPECT_EQ(document.root, nullptr) << bad;
    }
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
    struct Case { const char* text; double number; int64_t integer; const char* printed; } cases[] = {
        {"1.5e3", 1500, 1500, "1500"},       {"0123", 123, 123, "123"},
        {"-", -0.0, 0, "0"},                 {"3e9", 3e9, 3000000000LL, "3000000000"},
        {"0.5", 0.5, 0, "0.500000"},         {"1e-7", 1e-7, 0, "1.000000e-07"},
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
    // Overlong exponents and mantissas must not overflow an integer or convert an out-of-range double.
    Document huge("[1e99999999999999999999, -1e-99999999999999999999, " + std::string(400, '9') + "e-400]");
    ASSERT_NE(huge.root, nullptr);
    JsonNode* item = huge.root->value->child;
    EXPECT_TRUE(std::isinf(item->value->number));
    EXPECT_EQ(item->value->integer, INT64_MAX);
    EXPECT_EQ(item->next->value->number, 0.0);
    EXPECT_EQ(item->next->next->value->integer, 0);  // infinity times zero
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

TEST(Json, LooksUpMembersIgnoringCase) {
    Document document("{\"FileVersion\":\"1\",\"fileversion\":\"2\",\"Other\":3}");
    EXPECT_STREQ(stringOf(jsonGetObjectItem(document.root, "FILEVERSION")), "1");
    EXPECT_EQ(jsonGetObjectItem(document.root, "missing"), nullptr);
    EXPECT_EQ(jsonGetObjectItem(document.root, "FileVersio"), nullptr);
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

}  // namespace
