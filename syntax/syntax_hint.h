// What a failing grammar rule expected where it stopped.
#pragma once

#include <cstdint>

struct SyntaxHint {
    enum : int32_t {
        None = -1,
        MissingLeftParen = 2,
        MissingSemicolon = 3,
        MissingRightParen = 4,
        MissingLeftBrace = 5,
        MissingRightBrace = 6,
        BadForInit = 8,
        BadForCondition = 9,
        BadForStep = 10,
        BadTopLevelItem = 11,
        BadBaseClass = 12,
        BadBaseAccess = 14,
        BadBaseKind = 15,
        TrailingComma = 16,
        MissingIdentifier = 18,
        MissingLeftBracket = 20,
        MissingRightBracket = 21,
        MissingLeftAngle = 22,
        MissingRightAngle = 23,
        MissingColon = 24,
    };
};

// The message of a hint code; null for a code without one.
const char* syntaxHintText(int32_t code);
