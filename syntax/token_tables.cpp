#include "syntax/token_kind.h"

const FixedToken kKeywordTable[] = {
    {15, "to"},
    {16, "import"},    {17, "cdecl"},    {18, "stdcall"},   {19, "fastcall"},
    {20, "pascal"},    {21, "operator"}, {22, "for"},       {23, "while"},
    {24, "do"},        {25, "try"},      {26, "catch"},     {27, "if"},
    {28, "break"},     {29, "continue"}, {30, "default"},   {31, "interface"},
    {32, "class"},     {33, "enum"},     {34, "package"},   {35, "static"},
    {36, "const"},     {37, "throws"},   {38, "throw"},     {39, "switch"},
    {40, "case"},      {41, "else"},     {42, "return"},    {43, "new"},
    {44, "include"},   {45, "using"},    {46, "require"},   {47, "finally"},
    {48, "final"},     {49, "synchronized_read"},           {50, "synchronized_write"},
    {51, "synchronized"},                {52, "@Declare"},  {53, "public"},
    {54, "private"},   {55, "protected"}, {56, "override"},
};
const unsigned kKeywordCount = sizeof(kKeywordTable) / sizeof(kKeywordTable[0]);

const FixedToken kPunctuationTable[] = {
    {65, ">>="}, {65, "<<="}, {65, "|="}, {65, "^="}, {65, "&="},
    {65, "%="},  {65, "/="},  {65, "*="}, {65, "-="}, {65, "+="},
    {66, "||"},  {67, "&&"},  {68, "|"},  {69, "^"},  {70, "&"},
    {71, "=="},  {71, "!="},  {72, "<<"}, {73, ">="}, {74, "<="},
    {75, "<"},   {76, ">"},   {77, "@"},  {78, "++"}, {78, "--"},
    {79, "!"},   {79, "~"},   {80, "+"},  {80, "-"},  {81, "*"},
    {81, "/"},   {81, "%"},   {82, "="},  {83, "..."}, {84, "."},
    {85, "("},   {86, ")"},   {87, "{"},  {88, "}"},  {89, "["},
    {90, "]"},   {91, ";"},   {92, ","},
};
const unsigned kPunctuationCount = sizeof(kPunctuationTable) / sizeof(kPunctuationTable[0]);

namespace {

struct KindName {
    TokenCode kind;
    const char* name;
};

// Kinds whose text varies, named as the grammar tables name them.
const KindName kVariableKinds[] = {
    {14, "Whitespace"},  {57, "HexInteger"}, {58, "Float"},   {59, "LongInteger"},
    {60, "Integer"},     {61, "Identifier"}, {64, "Comment"}, {65, "CompoundAssignment"},
    {71, "Equality"},    {78, "IncDec"},     {79, "Not"},     {80, "Additive"},
    {81, "Multiplicative"}, {93, "String"},  {94, "Char"},
};

}  // namespace

const char* tokenKindName(TokenCode kind) {
    for (const KindName& entry : kVariableKinds)
        if (entry.kind == kind) return entry.name;
    for (unsigned i = 0; i < kKeywordCount; ++i)
        if (kKeywordTable[i].kind == kind) return kKeywordTable[i].text;
    for (unsigned i = 0; i < kPunctuationCount; ++i)
        if (kPunctuationTable[i].kind == kind) return kPunctuationTable[i].text;
    if (kind == TokenKind::Colon) return ":";
    if (kind == TokenKind::Question) return "?";
    return nullptr;
}
