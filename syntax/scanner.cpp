#include "syntax/scanner.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <cstring>


namespace scanner {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHexDigit(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }
bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool isWordChar(char c) { return kWordBytes.word[static_cast<unsigned char>(c)]; }

bool byteIs(const char* text, int32_t length, int32_t at, char c) { return at < length && text[at] == c; }

bool byteIsEither(const char* text, int32_t length, int32_t at, char a, char b) {
    return at < length && (text[at] == a || text[at] == b);
}

// True when the whole of word stands at the offset.
bool startsWith(const char* text, int32_t length, int32_t offset, const char* word, int32_t wordLength) {
    return wordLength <= length - offset && std::memcmp(text + offset, word, static_cast<size_t>(wordLength)) == 0;
}

// "e" or "E", an optional sign, then digits; -1 when incomplete.
int32_t scanExponent(const char* text, int32_t length, int32_t offset) {
    if (!byteIsEither(text, length, offset, 'e', 'E')) return -1;
    int32_t at = offset + 1;
    if (byteIsEither(text, length, at, '+', '-')) ++at;
    int32_t digits = scanDecimalDigits(text, length, at);
    if (digits < 0) return -1;
    return at + digits - offset;
}

// Adds an optional exponent and an optional suffix at `at`; the suffix is
// required when `needSuffix`, the exponent when `needExponent`.
int32_t finishFloat(const char* text, int32_t length, int32_t start, int32_t at, bool needExponent,
                    bool needSuffix) {
    int32_t exponent = scanExponent(text, length, at);
    if (exponent > 0) at += exponent;
    else if (needExponent) return -1;
    if (byteIsEither(text, length, at, 'f', 'F')) ++at;
    else if (needSuffix) return -1;
    return at - start;
}

int32_t scanQuoted(const char* text, int32_t length, int32_t offset, char quote) {
    if (!byteIs(text, length, offset, quote)) return -1;
    int32_t at = offset + 1;
    while (at < length) {
        char c = text[at];
        // A backslash among the last two bytes is an ordinary byte.
        if (c == '\\' && at + 2 < length) {
            at += 2;
            continue;
        }
        if (c == quote) return at + 1 - offset;
        ++at;
    }
    return -1;
}

// A table of fixed tokens grouped by first byte, each with its length, in
// the table's order within a group: a token is looked for only among those
// that begin with the byte at the offset.
struct FirstByteIndex {
    struct Entry {
        const char* text;
        int32_t size;
        TokenCode kind;
    };
    Entry entries[64];
    uint8_t begin[257];  // entries of first byte b: [begin[b], begin[b + 1])
    // The kind of the one token of one byte that is all its group holds (a
    // bracket, a separator): that byte is the token whatever follows it.
    TokenCode alone[256];
    // Per first byte, bit n set when a token of its group is n bytes long
    // (n < 64): most words have no keyword of their length to compare.
    uint64_t sizes[256];
    // Per first byte, the kind of the group's token of that one byte (0:
    // none), and the second bytes of its longer tokens (0: no more; a group
    // with more than kSeconds of them lists none and is always searched).
    static constexpr unsigned kSeconds = 4;
    TokenCode single[256];
    char seconds[256][kSeconds];

    // Placed by counting first bytes, not by a pass over the table per
    // byte: built at every start, that was a tenth of parsing a small file.
    FirstByteIndex(const FixedToken* table, unsigned tableCount)
        : entries{}, begin{}, alone{}, sizes{}, single{}, seconds{} {
        unsigned counts[256] = {};
        unsigned taken = 0;
        for (unsigned i = 0; i < tableCount && taken < 64; ++i, ++taken)
            ++counts[static_cast<unsigned char>(table[i].text[0])];
        unsigned next[256];
        unsigned count = 0;
        for (unsigned byte = 0; byte < 256; ++byte) {
            begin[byte] = static_cast<uint8_t>(count);
            next[byte] = count;
            count += counts[byte];
        }
        begin[256] = static_cast<uint8_t>(count);
        for (unsigned i = 0; i < taken; ++i) {
            const FixedToken& token = table[i];
            const int32_t size = static_cast<int32_t>(std::strlen(token.text));
            entries[next[static_cast<unsigned char>(token.text[0])]++] = {token.text, size, token.kind};
            if (size < 64) sizes[static_cast<unsigned char>(token.text[0])] |= uint64_t{1} << size;
        }
        for (unsigned byte = 0; byte < 256; ++byte)
            if (counts[byte] == 1 && entries[begin[byte]].size == 1) alone[byte] = entries[begin[byte]].kind;
        for (unsigned byte = 0; byte < 256; ++byte) {
            unsigned found = 0;
            bool listed = true;
            for (unsigned i = begin[byte]; i < begin[byte + 1]; ++i) {
                const Entry& entry = entries[i];
                if (entry.size == 1) {
                    if (single[byte] == 0) single[byte] = entry.kind;
                    continue;
                }
                bool known = false;
                for (unsigned s = 0; s < found; ++s) known = known || seconds[byte][s] == entry.text[1];
                if (known) continue;
                if (found == kSeconds) listed = false;
                else seconds[byte][found++] = entry.text[1];
            }
            if (!listed) single[byte] = 0;
        }
    }
};

// A keyword must be followed by a byte that cannot continue a word, and every
// keyword byte after the first continues one, so at most one keyword can
// match at an offset: the whole word at the offset must be the keyword, and
// the order in which the group is tried cannot change the answer. The word's
// length is left in *word either way, so that a word that is no keyword is
// not scanned twice.
int32_t scanKeyword(const char* text, int32_t length, int32_t offset, TokenCode* kind, int32_t* word) {
    static const FirstByteIndex index(kKeywordTable, kKeywordCount);
    unsigned char first = static_cast<unsigned char>(text[offset]);
    unsigned from = index.begin[first];
    unsigned to = index.begin[first + 1];
    *word = 1 + scanIdentifierTail(text, length, offset + 1);
    if (*word < 64 && ((index.sizes[first] >> *word) & 1) == 0) return -1;
    for (unsigned i = from; i < to; ++i) {
        const FirstByteIndex::Entry& keyword = index.entries[i];
        if (keyword.size != *word) continue;
        int32_t at = 1;  // the first byte chose the group
        while (at < *word && text[offset + at] == keyword.text[at]) ++at;
        if (at < *word) continue;
        *kind = keyword.kind;
        return *word;
    }
    return -1;
}

// The first punctuation token of the table that stands at the offset; the
// table lists the longer tokens of a family first. Tokens are at most three
// bytes and their first byte is known to match: the rest is compared in place.
const FirstByteIndex& punctuationIndex() {
    static const FirstByteIndex index(kPunctuationTable, kPunctuationCount);
    return index;
}

int32_t scanPunctuation(const char* text, int32_t length, int32_t offset, TokenCode* kind) {
    const FirstByteIndex& index = punctuationIndex();
    if (offset >= length) return -1;
    unsigned char first = static_cast<unsigned char>(text[offset]);
    // An operator followed by a byte none of its longer forms goes on with
    // (a blank, most often) is its one-byte form, found without the search.
    if (const TokenCode single = index.single[first]) {
        const char next = offset + 1 < length ? text[offset + 1] : '\0';
        const char* seconds = index.seconds[first];
        if (next != seconds[0] && next != seconds[1] && next != seconds[2] && next != seconds[3]) {
            *kind = single;
            return 1;
        }
    }
    const int32_t left = length - offset;
    for (unsigned i = index.begin[first]; i < index.begin[first + 1]; ++i) {
        const FirstByteIndex::Entry& token = index.entries[i];
        if (token.size > left) continue;
        int32_t at = 1;
        while (at < token.size && text[offset + at] == token.text[at]) ++at;
        if (at == token.size) {
            *kind = token.kind;
            return token.size;
        }
    }
    return -1;
}

}  // namespace

int32_t scanWhitespace(const char* text, int32_t length, int32_t offset) {
    int32_t at = offset;
    while (at < length && static_cast<unsigned char>(text[at]) >= 0x01 && static_cast<unsigned char>(text[at]) <= 0x20)
        ++at;
    return at > offset ? at - offset : -1;
}

int32_t scanDecimalDigits(const char* text, int32_t length, int32_t offset) {
    int32_t at = offset;
    while (at < length && isDigit(text[at])) ++at;
    return at > offset ? at - offset : -1;
}

int32_t scanHexDigits(const char* text, int32_t length, int32_t offset) {
    int32_t at = offset;
    while (at < length && isHexDigit(text[at])) ++at;
    return at > offset ? at - offset : -1;
}

int32_t isIdentifierChar(const char* text, int32_t length, int32_t offset) {
    return offset >= 0 && offset < length && isWordChar(text[offset]) ? 1 : -1;
}

int32_t scanIdentifierTail(const char* text, int32_t length, int32_t offset) {
    int32_t at = offset;
    while (at < length && isWordChar(text[at])) ++at;
    return at > offset ? at - offset : 0;
}

int32_t scanIdentifier(const char* text, int32_t length, int32_t offset) {
    if (offset >= length || !(isLetter(text[offset]) || text[offset] == '_')) return -1;
    return 1 + scanIdentifierTail(text, length, offset + 1);
}

int32_t scanFloatLiteral(const char* text, int32_t length, int32_t offset) {
    if (offset >= length) return -1;
    // D "." D? E? suffix?
    int32_t digits = scanDecimalDigits(text, length, offset);
    if (digits > 0 && byteIs(text, length, offset + digits, '.')) {
        int32_t at = offset + digits + 1;
        int32_t fraction = scanDecimalDigits(text, length, at);
        if (fraction > 0) at += fraction;
        return finishFloat(text, length, offset, at, false, false);
    }
    // "." D E? suffix?
    bool dot = byteIs(text, length, offset, '.');
    if (dot) {
        int32_t fraction = scanDecimalDigits(text, length, offset + 1);
        if (fraction > 0) return finishFloat(text, length, offset, offset + 1 + fraction, false, false);
    }
    // "."? D E suffix?, then "."? D E? suffix (required)
    int32_t at = offset + (dot ? 1 : 0);
    int32_t body = scanDecimalDigits(text, length, at);
    if (body < 0) return -1;
    int32_t withExponent = finishFloat(text, length, offset, at + body, true, false);
    if (withExponent > 0) return withExponent;
    return finishFloat(text, length, offset, at + body, false, true);
}

int32_t scanComment(const char* text, int32_t length, int32_t offset) {
    if (offset + 1 >= length || text[offset] != '/') return -1;
    if (text[offset + 1] == '*') {
        for (int32_t at = offset + 2; at < length; ++at) {
            if (text[at] == '\0') return -1;
            if (text[at] == '*' && at + 1 < length && text[at + 1] == '/') return at + 2 - offset;
        }
        return -1;
    }
    if (text[offset + 1] == '/') {
        int32_t at = offset + 2;
        for (; at < length; ++at) {
            if (text[at] == '\0') return -1;
            if (text[at] == '\n') return at + 1 - offset;
        }
        // The last line of a file need not end with a line feed.
        return at - offset;
    }
    return -1;
}

int32_t scanCompoundAssignment(const char* text, int32_t length, int32_t offset) {
    TokenCode kind = 0;
    int32_t size = scanPunctuation(text, length, offset, &kind);
    return kind == TokenKind::CompoundAssignment ? size : -1;
}

int32_t scanStringLiteral(const char* text, int32_t length, int32_t offset) {
    return scanQuoted(text, length, offset, '"');
}

int32_t scanCharLiteral(const char* text, int32_t length, int32_t offset) {
    return scanQuoted(text, length, offset, '\'');
}

namespace {

int32_t scanNumber(const char* text, int32_t length, int32_t offset, TokenCode* kind) {
    if (startsWith(text, length, offset, "0x", 2)) {
        int32_t size = scanHexDigits(text, length, offset + 2);
        if (size > 0) {
            size += 2;
            if (byteIsEither(text, length, offset + size, 'l', 'L')) ++size;
            *kind = TokenKind::HexInteger;
            return size;
        }
    }
    int32_t size = scanFloatLiteral(text, length, offset);
    if (size > 0) {
        *kind = TokenKind::Float;
        return size;
    }
    size = scanDecimalDigits(text, length, offset);
    if (size > 0) {
        if (byteIsEither(text, length, offset + size, 'l', 'L')) {
            *kind = TokenKind::LongInteger;
            return size + 1;
        }
        *kind = TokenKind::Integer;
        return size;
    }
    return -1;
}

// Fixed tokens, then strings and characters: what is left once the first
// byte has ruled out words and numbers.
int32_t scanSymbol(const char* text, int32_t length, int32_t offset, TokenCode* kind) {
    int32_t size = scanPunctuation(text, length, offset, kind);
    if (size > 0) return size;
    size = scanStringLiteral(text, length, offset);
    if (size > 0) {
        *kind = TokenKind::String;
        return size;
    }
    size = scanCharLiteral(text, length, offset);
    if (size > 0) {
        *kind = TokenKind::Char;
        return size;
    }
    return -1;
}

}  // namespace

// The kinds are tried in their order of priority, but only those that can
// begin with the byte at the offset: a letter starts a keyword or a word, a
// digit a number, and so on.
int32_t scanTokenAt(const char* text, int32_t length, int32_t offset, TokenCode* kind) {
    if (offset >= length) return 0;
    unsigned char c = static_cast<unsigned char>(text[offset]);
    if (c >= 0x01 && c <= 0x20) {
        *kind = TokenKind::Whitespace;
        return scanWhitespace(text, length, offset);
    }
    if (isLetter(static_cast<char>(c)) || c == '_') {
        int32_t word = 0;
        int32_t size = scanKeyword(text, length, offset, kind, &word);
        if (size > 0) return size;
        *kind = TokenKind::Identifier;
        return word;
    }
    if (isDigit(static_cast<char>(c))) return scanNumber(text, length, offset, kind);
    switch (c) {
    case '.': {
        int32_t size = scanFloatLiteral(text, length, offset);
        if (size > 0) {
            *kind = TokenKind::Float;
            return size;
        }
        return scanSymbol(text, length, offset, kind);
    }
    case '@': {
        int32_t word = 0;
        int32_t size = scanKeyword(text, length, offset, kind, &word);
        return size > 0 ? size : scanSymbol(text, length, offset, kind);
    }
    case ':':
        *kind = TokenKind::Colon;
        return 1;
    case '?':
        *kind = TokenKind::Question;
        return 1;
    case '/': {
        int32_t size = scanComment(text, length, offset);
        if (size > 0) {
            *kind = TokenKind::Comment;
            return size;
        }
        return scanSymbol(text, length, offset, kind);
    }
    default:
        // Most punctuation is a bracket or a separator: no other token
        // begins with its byte.
        if (const TokenCode alone = punctuationIndex().alone[c]) {
            *kind = alone;
            return 1;
        }
        return scanSymbol(text, length, offset, kind);
    }
}

}  // namespace scanner

double parseFloatText(const char* text) {
    const char* at = text;
    bool negative = false;
    if (*at == '-' || *at == '+') negative = *at++ == '-';
    // The extent of the literal: digits with at most one point, then an
    // exponent whose digits are decimal even after a leading zero (1e010 is
    // 1e10); a suffix or anything else ends it, and "inf" is no literal.
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* end = at;
    while (isDigit(*end)) ++end;
    if (*end == '.') {
        ++end;
        while (isDigit(*end)) ++end;
    }
    if ((*end == 'e' || *end == 'E') && end > at) {
        const char* exponent = end + 1;
        if (*exponent == '-' || *exponent == '+') ++exponent;
        if (isDigit(*exponent)) {
            end = exponent;
            while (isDigit(*end)) ++end;
        }
    }
    // Correctly rounded: the nearest double to the written value.
    double value = 0;
    const std::from_chars_result read = std::from_chars(at, end, value, std::chars_format::general);
    if (read.ec == std::errc::result_out_of_range) {
        // Beyond the range of a double: infinity or zero, as the C reader
        // gives them.
        value = std::strtod(std::string(at, end).c_str(), nullptr);
    } else if (read.ec != std::errc()) {
        value = 0;
    }
    return negative ? -value : value;
}
