// Test helper: a parsed member back in the member text's own form, so that
// expectations read like the tables they come from.
#pragma once

#include <string>

#include "builtins/member_text.h"

namespace member_text_test {

// "Element[]"; with `markPlaceholders` a placeholder shows its index ("Element[]@0").
inline std::string typeText(const MemberType& t, bool markPlaceholders = false) {
    std::string s(t.name);
    for (int i = 0; i < t.arrayDepth; ++i) s += "[]";
    if (markPlaceholders && t.placeholder >= 0) s += "@" + std::to_string(t.placeholder);
    return s;
}

// "[static ][final ][noobj ][abstract ]<result|-> name(<type>[!] p, ...)[ throws A, B]".
inline std::string methodText(const MemberText& text, const MemberMethod& m, bool markPlaceholders = false) {
    std::string s;
    if (m.isStatic) s += "static ";
    if (m.isFinal) s += "final ";
    if (m.noObjectReturn) s += "noobj ";
    if (m.isAbstract) s += "abstract ";
    s += m.hasResult ? typeText(m.result, markPlaceholders) : "-";
    s += " " + std::string(m.name) + "(";
    const char* sep = "";
    for (const MemberParameter& p : text.parametersOf(m)) {
        s += sep + typeText(p.type, markPlaceholders) + (p.notNilptr ? "! " : " ") + std::string(p.name);
        sep = ", ";
    }
    s += ")";
    sep = " throws ";
    for (std::string_view t : text.thrownOf(m)) {
        s += sep + std::string(t);
        sep = ", ";
    }
    return s;
}

}  // namespace member_text_test
