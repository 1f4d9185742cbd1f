// A built grammar to and from its table form: the build writes the table,
// every start of the compiler loads it.
#include <cstdio>

#include "syntax/grammar.h"

namespace {

void appendFormat(std::string& out, const char* format, auto... values) {
    char line[160];
    int n = std::snprintf(line, sizeof line, format, values...);
    if (n > 0) out.append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

}  // namespace

bool Grammar::writeTable(std::string& out, const char* name) const {
    if (!built_) return false;
    out += "// Written by korvo_grammar_tool from the rule tables of syntax/rules_*.cpp.\n";
    out += "namespace {\n\nconst GrammarTable::Code kCode[] = {\n";
    for (const Code& code : code_)
        appendFormat(out, "    {%u, %u, %d, %u, %u, %u},\n", static_cast<unsigned>(code.type),
                     static_cast<unsigned>(code.callable), code.hint, code.value, code.first, code.count);
    out += "};\n\nconst uint32_t kKids[] = {";
    for (size_t i = 0; i < kids_.size(); ++i) appendFormat(out, i % 16 == 0 ? "\n    %u," : " %u,", kids_[i]);
    out += "\n    0};\n\nconst GrammarTable::Rule kRules[] = {\n";
    for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id) {
        const Rule& rule = rules_[id];
        if (!rule.defined) continue;
        if (rule.native) return false;  // a function has no table form
        const Leading& leading = leading_[id];
        appendFormat(out, "    {%u, \"%s\", %d, {", id, rule.name.c_str(), rule.root);
        for (int w = 0; w < 4; ++w)
            appendFormat(out, w ? ", 0x%llxull" : "0x%llxull", static_cast<unsigned long long>(leading.ids.word(w)));
        appendFormat(out, "}, %u},\n",
                     (leading.nullable ? 1u : 0u) | (leading.hinted ? 2u : 0u) | (leading.skippable ? 4u : 0u));
    }
    out += "};\n\nconst GrammarTable::Group kGroups[] = {\n";
    for (const GroupLeading& group : groups_) {
        out += "    {{";
        for (int w = 0; w < 4; ++w)
            appendFormat(out, w ? ", 0x%llxull" : "0x%llxull", static_cast<unsigned long long>(group.ids.word(w)));
        appendFormat(out, "}, %u},\n", (group.hinted ? 1u : 0u) | (group.skippable ? 2u : 0u));
    }
    out += "};\n\n}  // namespace\n\n";
    appendFormat(out, "const GrammarTable %s = {kCode, sizeof kCode / sizeof kCode[0], kKids,\n", name);
    out += "    sizeof kKids / sizeof kKids[0] - 1, kRules, sizeof kRules / sizeof kRules[0],\n";
    out += "    kGroups, sizeof kGroups / sizeof kGroups[0]};\n";
    return true;
}

bool Grammar::load(const GrammarTable& table) {
    built_ = false;
    ops_.clear();
    owner_.clear();
    for (uint32_t id = 0; id < kIdLimit; ++id) {
        rules_[id] = Rule();
        leading_[id] = Leading();
    }
    setBodies();
    code_.resize(table.codeCount);
    for (size_t i = 0; i < table.codeCount; ++i) {
        const GrammarTable::Code& from = table.code[i];
        if (from.type > static_cast<uint8_t>(OpType::Optional)) return fail("bad op type in the grammar table");
        if (from.first > table.kidCount || from.count > table.kidCount - from.first)
            return fail("op children outside the grammar table");
        code_[i] = Code{static_cast<OpType>(from.type), from.callable != 0, from.hint, from.value, from.first, from.count};
    }
    kids_.assign(table.kids, table.kids + table.kidCount);
    for (uint32_t kid : kids_)
        if (kid >= table.codeCount) return fail("op child outside the grammar table");
    for (size_t i = 0; i < table.ruleCount; ++i) {
        const GrammarTable::Rule& from = table.rules[i];
        if (from.id < kFirstRuleId || from.id >= kIdLimit || rules_[from.id].defined || from.root < 0 ||
            static_cast<size_t>(from.root) >= table.codeCount)
            return fail("bad rule in the grammar table");
        Rule& rule = rules_[from.id];
        rule.defined = true;
        rule.name = from.name;
        rule.root = from.root;
        Leading& leading = leading_[from.id];
        for (int w = 0; w < 4; ++w) leading.ids.setWord(w, from.leading[w]);
        leading.nullable = (from.flags & 1) != 0;
        leading.hinted = (from.flags & 2) != 0;
        leading.skippable = (from.flags & 4) != 0;
    }
    if (table.groups != nullptr && table.groupCount == code_.size()) {
        groups_.assign(code_.size(), GroupLeading());
        for (size_t i = 0; i < code_.size(); ++i) {
            GroupLeading& group = groups_[i];
            for (int w = 0; w < 4; ++w) group.ids.setWord(w, table.groups[i].ids[w]);
            group.hinted = (table.groups[i].flags & 1) != 0;
            group.skippable = (table.groups[i].flags & 2) != 0;
        }
    } else {
        analyseGroups();
    }
    built_ = true;
    setBodies();
    firstFailures_.clear();
    generation_ = nextGrammarGeneration();
    return true;
}
