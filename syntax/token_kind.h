// Token kinds of the scanner. They share one number space with the grammar
// rule ids (95 and up) because both are bit numbers of a record's match set.
#pragma once

#include <cstdint>

using TokenCode = uint32_t;

struct TokenKind {
    enum : TokenCode {
        EndOfText = 0,
        Whitespace = 14,
        To = 15,
        Import = 16, Cdecl, Stdcall, Fastcall, Pascal, Operator, For, While, Do, Try, Catch, If,
        Break, Continue, Default, Interface, Class, Enum, Package, Static, Const, Throws, Throw,
        Switch, Case, Else, Return, New, Include, Using, Require, Finally, Final,
        SynchronizedRead, SynchronizedWrite, Synchronized, Declare, Public, Private, Protected,
        Override = 56,
        HexInteger = 57,
        Float = 58,
        LongInteger = 59,
        Integer = 60,
        Identifier = 61,
        Colon = 62,
        Question = 63,
        Comment = 64,
        CompoundAssignment = 65,
        LogicalOr = 66,
        LogicalAnd = 67,
        BitOr = 68,
        Xor = 69,
        BitAnd = 70,
        Equality = 71,
        ShiftLeft = 72,
        GreaterEqual = 73,
        LessEqual = 74,
        Less = 75,
        Greater = 76,
        At = 77,
        IncDec = 78,
        Not = 79,
        Additive = 80,
        Multiplicative = 81,
        Assign = 82,
        Ellipsis = 83,
        Dot = 84,
        LeftParen = 85,
        RightParen = 86,
        LeftBrace = 87,
        RightBrace = 88,
        LeftBracket = 89,
        RightBracket = 90,
        Semicolon = 91,
        Comma = 92,
        String = 93,
        Char = 94,
        First = Whitespace,
        Last = Char,
    };
};

static_assert(TokenKind::Override == 56 && TokenKind::Declare == 52 && TokenKind::Finally == 47);

// One entry of a table that ties a fixed token text to its kind.
struct FixedToken {
    TokenCode kind;
    const char* text;
};

// "to" and the keywords, in the order the scanner tries them.
extern const FixedToken kKeywordTable[];
extern const unsigned kKeywordCount;

// The punctuation tokens, in the order the scanner tries them (the compound
// assignments first).
extern const FixedToken kPunctuationTable[];
extern const unsigned kPunctuationCount;

// The name of a kind ("Identifier", "for", ...) for probes and diagnostics
// of the grammar tables; null for a code that is no token kind.
const char* tokenKindName(TokenCode kind);
