// Token matchers over raw bytes. Each takes the text, its length and an
// offset and returns the matched length or -1; none reads past the length.
#pragma once

#include <cstdint>

#include "syntax/token_kind.h"

namespace scanner {

// Bytes that continue a word, as one table read per byte: words are most of
// what the scanner reads, and the node-text store reads ahead of it by them.
struct WordBytes {
    bool word[256] = {};
    constexpr WordBytes() {
        for (int c = 0; c < 256; ++c)
            word[c] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    }
};
inline constexpr WordBytes kWordBytes;

int32_t scanWhitespace(const char* text, int32_t length, int32_t offset);
int32_t scanDecimalDigits(const char* text, int32_t length, int32_t offset);
int32_t scanHexDigits(const char* text, int32_t length, int32_t offset);
int32_t isIdentifierChar(const char* text, int32_t length, int32_t offset);     // 1 or -1
int32_t scanIdentifierTail(const char* text, int32_t length, int32_t offset);   // 0 or more
int32_t scanIdentifier(const char* text, int32_t length, int32_t offset);
int32_t scanFloatLiteral(const char* text, int32_t length, int32_t offset);
int32_t scanComment(const char* text, int32_t length, int32_t offset);
int32_t scanCompoundAssignment(const char* text, int32_t length, int32_t offset);
int32_t scanStringLiteral(const char* text, int32_t length, int32_t offset);
int32_t scanCharLiteral(const char* text, int32_t length, int32_t offset);

// The token at the offset: its length with the kind in *kind; 0 at or past
// the end (kind untouched); -1 when no kind matches.
int32_t scanTokenAt(const char* text, int32_t length, int32_t offset, TokenCode* kind);

}  // namespace scanner

// The value of a floating literal's text (sign, digits, fraction, exponent).
double parseFloatText(const char* text);
