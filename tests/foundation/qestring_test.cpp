#include "foundation/qestring.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

using qestl::npos;
using qestl::qestringA;
using qestl::qestringW;

namespace {

TEST(QestringTest, TextConstructionKeepsTwoTerminatorsAndGrowsByTheRules) {
    qestringA s("abc");
    EXPECT_EQ(s.used(), 5u);
    EXPECT_EQ(s.capacity(), 5u);
    EXPECT_EQ(s.length(), 3u);
    EXPECT_EQ(std::memcmp(s.c_str(), "abc\0\0", 5), 0);
    s.append("de");
    EXPECT_EQ(s.view(), "abcde");
    EXPECT_EQ(s.used(), 7u);
    EXPECT_EQ(s.capacity(), 12u);  // used * 2 + n
    EXPECT_EQ(s.c_str()[5], 0);
    EXPECT_EQ(s.c_str()[6], 0);
}

TEST(QestringTest, EmptyClearAndRelease) {
    qestringA empty;
    EXPECT_EQ(empty.used(), 1u);
    EXPECT_EQ(empty.length(), 0u);
    qestringA s("hello");
    s.clear();
    EXPECT_EQ(s.used(), 1u);
    EXPECT_EQ(s.length(), 0u);
    EXPECT_EQ(s.c_str()[0], 0);
    s.release();
    EXPECT_EQ(s.c_str(), nullptr);
    EXPECT_EQ(s.used() + s.capacity() + s.length(), 0u);
}

TEST(QestringTest, EmptyStringsShareTheirTerminatorsUntilTheFirstWrite) {
    qestringA a, b(""), c(b);
    EXPECT_EQ(a.c_str(), b.c_str());  // no buffer of their own
    EXPECT_EQ(c.c_str(), b.c_str());
    EXPECT_EQ(b.used(), 2u);  // the counts of a string built from text
    EXPECT_EQ(c.used(), 2u);
    a.data()[0] = 'x';  // every writing path takes its own buffer first
    b.putUnit(0, 'y');
    c.replace(0, 0, "z", 1);
    qestringA d;
    d.printf("%d", 7);
    EXPECT_EQ(a.c_str()[0], 'x');
    EXPECT_EQ(b.c_str()[0], 'y');
    EXPECT_EQ(c.view(), "z");
    EXPECT_EQ(d.view(), "7");
    qestringA e;
    EXPECT_EQ(e.c_str()[0], 0);
    EXPECT_EQ(e.c_str()[1], 0);
    c.clear();  // an owned buffer is kept
    EXPECT_NE(c.c_str(), e.c_str());
    e.append("w");
    EXPECT_EQ(e.view(), "w");
    EXPECT_EQ(e.used(), 2u);
    static const char kName[] = "name\0";  // a static text: read in place, copies share it
    qestringA f = qestringA::ofStaticText(kName, 4);
    qestringA g(f);
    EXPECT_EQ(g.c_str(), kName);
    EXPECT_EQ(g.used(), qestringA("name").used());
    g.replace(0, 1, "N", 1);
    f.append("s");
    EXPECT_EQ(g.view(), "Name");
    EXPECT_EQ(f.view(), "names");
    EXPECT_STREQ(kName, "name");
}

TEST(QestringTest, CopyTakesExactlyTheSourcesUsedUnits) {
    qestringA s("abc");
    qestringA copy(s);
    EXPECT_EQ(copy.capacity(), 5u);
    EXPECT_EQ(copy.used(), 5u);
    EXPECT_EQ(copy.view(), "abc");
    qestringA assigned;
    assigned = s;
    EXPECT_EQ(assigned.capacity(), 5u);
    const qestringA& alias = assigned;
    assigned = alias;  // self-assignment keeps the text
    EXPECT_EQ(assigned.view(), "abc");
}

TEST(QestringTest, AssignAndReplaceFromItsOwnText) {
    qestringA s("abcdef");
    s.assign(s.c_str());
    EXPECT_EQ(s.view(), "abcdef");
    EXPECT_EQ(s.used(), 8u);
    s.assign(s.c_str() + 2, 3);
    EXPECT_EQ(s.view(), "cde");
    qestringA r("abcdefgh");
    r.replace(0, 2, r.c_str() + 4, 3);  // the gap closes over the replacement
    EXPECT_EQ(r.view(), "efgcdefgh");
    EXPECT_EQ(r.c_str()[9], 0);
    qestringW w(u"wide text");
    w.assign(w.c_str() + 5);
    EXPECT_EQ(w.view(), u"text");
}

TEST(QestringTest, BorrowedBufferIsKeptAndNeverFreed) {
    char buffer[32] = "xy";
    qestringA s;
    s.borrow(buffer, 2, sizeof buffer);
    s.append("z");
    EXPECT_EQ(s.c_str(), buffer);
    EXPECT_EQ(s.view(), "xyz");
    EXPECT_TRUE(s.isBorrowed());
    EXPECT_EQ(s.capacity(), npos);
    qestringA moved(std::move(s));  // the borrowed size goes with it
    moved.append("w");
    EXPECT_EQ(moved.c_str(), buffer);
    EXPECT_EQ(moved.view(), "xyzw");
    s = std::move(moved);
    s.assign("fresh");  // starts a buffer of its own
    EXPECT_NE(s.c_str(), buffer);
    EXPECT_EQ(s.view(), "fresh");
    EXPECT_STREQ(buffer, "xyzw");
}

TEST(QestringTest, BorrowedBufferTooSmallIsCopiedNotOverrun) {
    char buffer[3] = "ab";
    qestringA s;
    s.borrow(buffer, 2);
    s.append("cdefgh");
    EXPECT_NE(s.c_str(), buffer);
    EXPECT_EQ(s.view(), "abcdefgh");
    EXPECT_STREQ(buffer, "ab");
}

TEST(QestringTest, FindHonoursItsWindow) {
    qestringA s("hello world");
    EXPECT_EQ(s.find(0, 100, "world", 5), 6u);  // count beyond length: to the end
    EXPECT_EQ(s.find(0, 3, "hello", 5), npos);   // needle longer than window
    EXPECT_EQ(s.find(11, 5, "d", 1), npos);      // start at the length
    EXPECT_EQ(s.find(20, 5, "d", 1), npos);
    EXPECT_EQ(s.find(0, 5, "hello", 5), 0u);
    EXPECT_EQ(s.find(1, 5, "ello", 4), 1u);
}

TEST(QestringTest, ReplaceAllNeverRescansItsReplacements) {
    qestringA s("aaaa");
    EXPECT_EQ(s.replaceAll("aa", "a"), 2u);
    EXPECT_EQ(s.view(), "aa");
    qestringA t("a.b.c");
    EXPECT_EQ(t.replaceAll(".", "::"), 2u);
    EXPECT_EQ(t.view(), "a::b::c");
    EXPECT_EQ(t.c_str()[t.length()], 0);
    qestringA u("xx");
    EXPECT_EQ(u.replaceAll("x", "xx"), 2u);
    EXPECT_EQ(u.view(), "xxxx");
}

TEST(QestringTest, ReplaceOfEqualAndDifferentLengths) {
    qestringA s("abcdef");
    s.replace(1, 2, "XY", 2);
    EXPECT_EQ(s.view(), "aXYdef");
    s.replace(1, 2, "Q", 1);
    EXPECT_EQ(s.view(), "aQdef");
    s.replace(0, 1, "123", 3);
    EXPECT_EQ(s.view(), "123Qdef");
}

TEST(QestringTest, SplitOnDot) {
    auto split = [](const char* text) {
        qestringA s(text);
        qestl::StringVector pieces;
        s.splitOnDot(pieces, s.length());
        std::string joined;
        for (const auto& piece : pieces) {
            joined += '[';
            joined += piece.view();
            joined += ']';
        }
        return joined;
    };
    EXPECT_EQ(split("abc"), "[abc]");
    EXPECT_EQ(split(""), "");
    EXPECT_EQ(split("a..b"), "[a][][b]");
    EXPECT_EQ(split("a.b."), "[a][b]");
    EXPECT_EQ(split(".a"), "[][a]");
}

TEST(QestringTest, ToIntReadsOctalLeadingZeroWithFaceValueDigits) {
    EXPECT_EQ(qestringA("-017").toInt(), -15);
    EXPECT_EQ(qestringA("+9").toInt(), 9);
    EXPECT_EQ(qestringA("x1").toInt(), 0);
    EXPECT_EQ(qestringA("09").toInt(), 9);
    EXPECT_EQ(qestringA("123abc").toInt(), 123);
    EXPECT_EQ(qestringA(" 1").toInt(), 0);
    EXPECT_EQ(qestringA("99999999999").toInt(), static_cast<int32_t>(99999999999LL));  // wraps
}

TEST(QestringTest, InsertAndAppendOfItsOwnText) {
    qestringA s("abc");
    s.insert(1, s);
    EXPECT_EQ(s.view(), "aabcbc");
    qestringA t("xyz");
    for (int i = 0; i < 5; ++i) t.append(t);
    EXPECT_EQ(t.length(), 96u);
    EXPECT_EQ(t.view().substr(0, 6), "xyzxyz");
}

// A formatted append that grows marks the whole doubled buffer used; the
// appends after it must not move that slack, or a long message costs its
// length squared. A unit planted high in the slack shows whether an append
// moved it: the units there are 0, and moving them changes nothing.
TEST(QestringTest, AppendsAfterAFormattedGrowthLeaveTheSlackWhereItIs) {
    qestringA s("head");
    s.appendFormat("%0*d", 3000, 7);
    EXPECT_EQ(s.used(), s.capacity());  // growth rule 3
    s.append("x");                      // growth rule 2: room for as much again
    const size_t slack = s.used() - s.length();
    ASSERT_GT(slack, 500u);
    const size_t room = s.capacity();
    const size_t planted = s.used() - 1;
    const_cast<char*>(s.c_str())[planted] = 'P';
    std::string expected(s.view());
    for (int i = 0; i < 100; ++i) {  // 250 units: short of the planted one
        s.append(i % 2 ? "ab" : "cde");
        expected += i % 2 ? "ab" : "cde";
    }
    EXPECT_EQ(s.view(), expected);
    EXPECT_EQ(s.used() - s.length(), slack);
    EXPECT_EQ(s.capacity(), room);
    EXPECT_EQ(s.c_str()[planted], 'P');  // not one byte of the slack moved
    for (size_t i = s.length(); i < s.used(); ++i) {
        if (i != planted) {
            ASSERT_EQ(s.c_str()[i], 0) << i;
        }
    }

    // Text left behind the terminator by a shorter text still moves up with
    // the appends, as every unit behind the terminator did.
    qestringA stale("hello-42");
    stale.appendFormat("%0*d", 40, 1);
    stale.printf("%s", "ab");
    stale.append("cd");
    EXPECT_EQ(stale.view(), "abcd");
    EXPECT_EQ(std::string(stale.c_str() + 4, 8), std::string("\0lo-4200", 8));
}

TEST(QestringTest, PutUnitGrowsToExactlyTwiceUsedPlusOne) {
    qestringA s;
    s.putUnit(4, 'q');
    EXPECT_EQ(s.used(), 7u);  // 1 -> 3 -> 7
    EXPECT_EQ(s.capacity(), 7u);
    EXPECT_EQ(s.c_str()[4], 'q');
    EXPECT_EQ(s.c_str()[1], 0);
}

TEST(CodePageTest, ValidUtf8RoundTripsThroughUtf16) {
    const char* text = "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80z";  // a é 中 😀 z
    qestringW wide = qestl::widen(text);
    ASSERT_EQ(wide.length(), 6u);
    EXPECT_EQ(wide[1], 0xE9);
    EXPECT_EQ(wide[2], 0x4E2D);
    EXPECT_EQ(wide[3], 0xD83D);
    EXPECT_EQ(wide[4], 0xDE00);
    EXPECT_EQ(wide.used(), wide.length() + 1);
    EXPECT_EQ(qestl::narrow(wide).view(), text);
}

TEST(CodePageTest, ArbitraryBytesRoundTripByteIdentically) {
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes(random() % 24, '\0');
        for (auto& byte : bytes) byte = static_cast<char>(1 + random() % 255);
        qestringW wide = qestl::widen(bytes.data(), bytes.size());
        qestringA back = qestl::narrow(wide);
        ASSERT_EQ(std::string(back.view()), bytes) << "round " << round;
    }
}

TEST(CodePageTest, InvalidSequencesBecomeEscapesAndOtherLoneSurrogatesBecomeReplacement) {
    // overlong '/', a UTF-8 encoded surrogate, a truncated sequence
    qestringW wide = qestl::widen("\xC0\xAF\xED\xA0\x80\xE4\xB8");
    ASSERT_EQ(wide.length(), 7u);
    EXPECT_EQ(wide[0], 0xDCC0);
    EXPECT_EQ(wide[1], 0xDCAF);
    EXPECT_EQ(wide[2], 0xDCED);
    const char16_t lone[] = {0xD800, u'x', 0};
    EXPECT_EQ(qestl::narrow(lone).view(), "\xEF\xBF\xBDx");
    EXPECT_EQ(qestl::widen("").length(), 0u);
    EXPECT_EQ(qestl::widen("").used(), 1u);
}

}  // namespace
