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

void appendWords(std::string& out, const RuleSet& set) {
    for (int w = 0; w < 4; ++w)
        appendFormat(out, w ? ", 0x%llxull" : "0x%llxull", static_cast<unsigned long long>(set.word(w)));
}

const char* opTypeName(GrammarOpType type) {
    switch (type) {
    case GrammarOpType::Item: return "Item";
    case GrammarOpType::Sequence: return "Sequence";
    case GrammarOpType::Choice: return "Choice";
    case GrammarOpType::Optional: return "Optional";
    }
    return "?";
}

const char* boolName(bool value) { return value ? "true" : "false"; }

}  // namespace

bool Grammar::writeTable(std::string& out, const char* name) const {
    if (!built_) return false;
    out += "// Written by korvo_grammar_tool from the rule tables of syntax/rules_*.cpp.\n";
    // constexpr: the ops, kids and groups are read in place by every start,
    // so they must be constant data the loader maps, not built at run time.
    out += "namespace {\n\nconstexpr GrammarCode kCode[] = {\n";
    for (const Code& code : code_)
        appendFormat(out, "    {GrammarOpType::%s, %s, %d, %u, %u, %u},\n", opTypeName(code.type),
                     boolName(code.callable), code.hint, code.value, code.first, code.count);
    out += "};\n\nconstexpr uint32_t kKids[] = {";
    for (size_t i = 0; i < kids_.size(); ++i) appendFormat(out, i % 16 == 0 ? "\n    %u," : " %u,", kids_[i]);
    out += "\n    0};\n\nconstexpr GrammarTable::Rule kRules[] = {\n";
    for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id) {
        const Rule& rule = rules_[id];
        if (!rule.defined) continue;
        if (rule.native) return false;  // a function has no table form
        const Leading& leading = leading_[id];
        appendFormat(out, "    {%u, \"%s\", %d, {", id, rule.name, rule.root);
        appendWords(out, leading.ids);
        appendFormat(out, "}, %u},\n",
                     (leading.nullable ? 1u : 0u) | (leading.hinted ? 2u : 0u) | (leading.skippable ? 4u : 0u));
    }
    out += "};\n\nconstexpr GrammarGroup kGroups[] = {\n";
    for (const GroupLeading& group : groups_) {
        out += "    {{";
        appendWords(out, group.ids);
        appendFormat(out, "}, %s, %s},\n", boolName(group.hinted), boolName(group.skippable));
    }
    out += "};\n\n}  // namespace\n\n";
    appendFormat(out, "constexpr GrammarTable %s = {kCode, sizeof kCode / sizeof kCode[0], kKids,\n", name);
    out += "    sizeof kKids / sizeof kKids[0] - 1, kRules, sizeof kRules / sizeof kRules[0],\n";
    out += "    kGroups, sizeof kGroups / sizeof kGroups[0]};\n";
    return true;
}

bool Grammar::load(const GrammarTable& table) {
    built_ = false;
    ops_.clear();
    owner_.clear();
    builtCode_.clear();
    builtKids_.clear();
    builtGroups_.clear();
    code_ = {};
    kids_ = {};
    groups_ = {};
    for (uint32_t id = 0; id < kIdLimit; ++id) {
        rules_[id] = Rule();
        leading_[id] = Leading();
    }
    setBodies();
    const std::span<const Code> code(table.code, table.codeCount);
    const std::span<const uint32_t> kids(table.kids, table.kidCount);
    for (const Code& op : code) {
        if (op.type > OpType::Optional) return fail("bad op type in the grammar table");
        if (op.first > kids.size() || op.count > kids.size() - op.first)
            return fail("op children outside the grammar table");
    }
    for (uint32_t kid : kids)
        if (kid >= code.size()) return fail("op child outside the grammar table");
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
    code_ = code;
    kids_ = kids;
    if (table.groups != nullptr && table.groupCount == code.size()) {
        groups_ = std::span<const GroupLeading>(table.groups, table.groupCount);
    } else {
        analyseGroups();
    }
    built_ = true;
    setBodies();
    firstFailures_.clear();
    generation_ = nextGrammarGeneration();
    return true;
}
