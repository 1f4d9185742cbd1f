// The scanner tries only the kinds the first byte allows and looks keywords
// up by the whole word; both shortcuts must answer exactly what trying every
// kind in priority order answers. The reference below is that plain order.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "syntax/scanner.h"

namespace {

int32_t fixedToken(const FixedToken* table, unsigned count, const std::string& text, int32_t at, bool keyword,
                   TokenCode* kind) {
    int32_t length = static_cast<int32_t>(text.size());
    for (unsigned i = 0; i < count; ++i) {
        int32_t size = static_cast<int32_t>(std::strlen(table[i].text));
        if (size > length - at || text.compare(static_cast<size_t>(at), static_cast<size_t>(size), table[i].text) != 0)
            continue;
        if (keyword && scanner::isIdentifierChar(text.data(), length, at + size) > 0) continue;
        *kind = table[i].kind;
        return size;
    }
    return -1;
}

// Every kind in priority order, as the token table lists them.
int32_t referenceScan(const std::string& text, int32_t at, TokenCode* kind) {
    const char* t = text.data();
    int32_t n = static_cast<int32_t>(text.size());
    if (at >= n) return 0;
    int32_t size;
    if ((size = scanner::scanWhitespace(t, n, at)) > 0) return *kind = TokenKind::Whitespace, size;
    if ((size = fixedToken(kKeywordTable, kKeywordCount, text, at, true, kind)) > 0) return size;
    if (at + 1 < n && t[at] == '0' && t[at + 1] == 'x' && (size = scanner::scanHexDigits(t, n, at + 2)) > 0) {
        size += 2;
        if (at + size < n && (t[at + size] == 'l' || t[at + size] == 'L')) ++size;
        return *kind = TokenKind::HexInteger, size;
    }
    if ((size = scanner::scanFloatLiteral(t, n, at)) > 0) return *kind = TokenKind::Float, size;
    if ((size = scanner::scanDecimalDigits(t, n, at)) > 0) {
        if (at + size < n && (t[at + size] == 'l' || t[at + size] == 'L')) return *kind = TokenKind::LongInteger, size + 1;
        return *kind = TokenKind::Integer, size;
    }
    if ((size = scanner::scanIdentifier(t, n, at)) > 0) return *kind = TokenKind::Identifier, size;
    if (t[at] == ':') return *kind = TokenKind::Colon, 1;
    if (t[at] == '?') return *kind = TokenKind::Question, 1;
    if ((size = scanner::scanComment(t, n, at)) > 0) return *kind = TokenKind::Comment, size;
    if ((size = fixedToken(kPunctuationTable, kPunctuationCount, text, at, false, kind)) > 0) return size;
    if ((size = scanner::scanStringLiteral(t, n, at)) > 0) return *kind = TokenKind::String, size;
    if ((size = scanner::scanCharLiteral(t, n, at)) > 0) return *kind = TokenKind::Char, size;
    return -1;
}

void expectSameTokens(const std::string& text) {
    int32_t n = static_cast<int32_t>(text.size());
    for (int32_t at = 0; at <= n; ++at) {
        TokenCode expectedKind = 0;
        TokenCode kind = 0;
        int32_t expected = referenceScan(text, at, &expectedKind);
        int32_t got = scanner::scanTokenAt(text.data(), n, at, &kind);
        ASSERT_EQ(got, expected) << "offset " << at << " of \"" << text << "\"";
        if (expected > 0) {
            ASSERT_EQ(kind, expectedKind) << "offset " << at << " of \"" << text << "\"";
        }
    }
}

}  // namespace

// Keywords, their prefixes and extensions, at the end of the text and
// before every kind of neighbour.
TEST(ScannerDispatch, KeywordsAndTheirNeighboursAsInPriorityOrder) {
    for (unsigned i = 0; i < kKeywordCount; ++i) {
        std::string word = kKeywordTable[i].text;
        for (const char* after : {"", " ", "x", "_", "1", "(", ".", "@", "/", "\"", "l"}) {
            expectSameTokens(word + after);
            expectSameTokens(word.substr(0, word.size() - 1) + after);
            expectSameTokens("_" + word + after);
        }
    }
    expectSameTokens("@Declare@Declared @Deprecated synchronized_readx synchronized_ finally final throws throw");
}

// Random texts over the bytes that begin or end tokens.
TEST(ScannerDispatch, RandomTextsAsInPriorityOrder) {
    const std::string alphabet = "aefilnorstxDLF_019.@/*\"'\\:?<>=!~+-|&^%()[]{};, \n\t\x7f#";
    std::mt19937 random(20240611);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        size_t size = random() % 24;
        for (size_t i = 0; i < size; ++i) text += alphabet[random() % alphabet.size()];
        expectSameTokens(text);
        if (HasFatalFailure()) return;
    }
}
