#include "syntax/grammar.h"

#include <cstdlib>
#include <cstring>

#include "syntax/lex_syntax.h"
#include "syntax/scanner.h"

namespace {

enum class Lexeme { End, Word, Quoted, Bar, Open, Close, Question, Comma, Bad };

struct NotationToken {
    Lexeme type = Lexeme::End;
    std::string text;
};

bool isWordByte(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == ':';
}

// Splits production and hint notation into lexemes.
class NotationLexer {
public:
    explicit NotationLexer(std::string_view text) : text_(text) {}

    NotationToken next() {
        while (at_ < text_.size() && (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n')) ++at_;
        NotationToken token;
        if (at_ >= text_.size()) return token;
        char c = text_[at_];
        if (c == '\\' && at_ + 1 < text_.size() && text_[at_ + 1] == '|') {  // "\|" as in the tables
            at_ += 2;
            token.type = Lexeme::Bar;
            return token;
        }
        if (c == '"' || c == '`') {
            token.type = c == '"' ? Lexeme::Quoted : Lexeme::Word;
            for (++at_; at_ < text_.size() && text_[at_] != c; ++at_) {
                if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
                token.text += text_[at_];
            }
            if (at_ >= text_.size()) token.type = Lexeme::Bad;
            ++at_;
            return token;
        }
        ++at_;
        switch (c) {
        case '|': token.type = Lexeme::Bar; return token;
        case '(': token.type = Lexeme::Open; return token;
        case ')': token.type = Lexeme::Close; return token;
        case '?': token.type = Lexeme::Question; return token;
        case ',': token.type = Lexeme::Comma; return token;
        default: break;
        }
        if (!isWordByte(c)) {
            token.type = Lexeme::Bad;
            token.text = std::string(1, c);
            return token;
        }
        token.type = Lexeme::Word;
        token.text = std::string(1, c);
        while (at_ < text_.size() && isWordByte(text_[at_])) token.text += text_[at_++];
        return token;
    }

private:
    std::string_view text_;
    size_t at_ = 0;
};

// The kind of a fixed token text: the text must scan as exactly one token.
TokenCode kindOfText(const std::string& text) {
    TokenCode kind = 0;
    int32_t length = static_cast<int32_t>(text.size());
    if (scanner::scanTokenAt(text.data(), length, 0, &kind) != length || length == 0) return 0;
    return kind;
}

TokenCode kindOfName(const std::string& name) {
    static const char kPrefix[] = "TokenKind::";
    if (name.compare(0, sizeof(kPrefix) - 1, kPrefix) != 0) return 0;
    std::string bare = name.substr(sizeof(kPrefix) - 1);
    for (TokenCode kind = TokenKind::First; kind <= TokenKind::Last; ++kind) {
        const char* known = tokenKindName(kind);
        if (known && bare == known) return kind;
    }
    return 0;
}

}  // namespace

// Turns one production into ops: choice := sequence ("|" sequence)*,
// sequence := postfix+, postfix := primary "?"*, primary := "(" choice ")" |
// item.
class Grammar::NotationParser {
public:
    NotationParser(Grammar& grammar, std::string_view text, int depth)
        : grammar_(grammar), lexer_(text), depth_(depth) {
        advance();
    }

    int32_t parseAll(bool expanded) {
        expanded_ = expanded;
        int32_t root = parseChoice();
        if (root >= 0 && token_.type != Lexeme::End) return error("unexpected text after the production");
        return root;
    }

    const std::string& message() const { return message_; }

private:
    void advance() { token_ = lexer_.next(); }

    int32_t error(const std::string& message) {
        if (message_.empty()) message_ = message;
        return -1;
    }

    int32_t add(OpType type, std::vector<uint32_t> children, uint32_t value = 0) {
        Op op;
        op.type = type;
        op.value = value;
        op.children = std::move(children);
        op.hint = expanded_ ? -2 : -1;  // -2: came from an abbreviation, takes no hints
        grammar_.ops_.push_back(std::move(op));
        return static_cast<int32_t>(grammar_.ops_.size() - 1);
    }

    int32_t parseChoice() {
        std::vector<uint32_t> alternatives;
        for (;;) {
            int32_t sequence = parseSequence();
            if (sequence < 0) return -1;
            alternatives.push_back(static_cast<uint32_t>(sequence));
            if (token_.type != Lexeme::Bar) break;
            advance();
        }
        if (alternatives.size() == 1) return static_cast<int32_t>(alternatives[0]);
        return add(OpType::Choice, std::move(alternatives));
    }

    int32_t parseSequence() {
        std::vector<uint32_t> items;
        while (token_.type == Lexeme::Word || token_.type == Lexeme::Quoted || token_.type == Lexeme::Open) {
            int32_t item = parsePostfix();
            if (item < 0) return -1;
            items.push_back(static_cast<uint32_t>(item));
        }
        if (items.empty()) return error("empty alternative");
        if (items.size() == 1) return static_cast<int32_t>(items[0]);
        return add(OpType::Sequence, std::move(items));
    }

    int32_t parsePostfix() {
        int32_t item = parsePrimary();
        while (item >= 0 && token_.type == Lexeme::Question) {
            advance();
            item = add(OpType::Optional, {static_cast<uint32_t>(item)});
        }
        return item;
    }

    int32_t parsePrimary() {
        if (token_.type == Lexeme::Open) {
            advance();
            int32_t inner = parseChoice();
            if (inner < 0) return -1;
            if (token_.type != Lexeme::Close) return error("missing ')'");
            advance();
            return inner;
        }
        NotationToken item = token_;
        advance();
        if (item.type == Lexeme::Quoted) {
            TokenCode kind = kindOfText(item.text);
            if (kind == 0) return error("\"" + item.text + "\" is no single token");
            return add(OpType::Item, {}, kind);
        }
        if (TokenCode kind = kindOfName(item.text)) return add(OpType::Item, {}, kind);
        if (uint32_t rule = grammar_.ruleId(item.text.c_str())) return add(OpType::Item, {}, rule);
        for (const Abbreviation& abbreviation : grammar_.abbreviations_) {
            if (abbreviation.name != item.text) continue;
            if (depth_ > 8) return error("abbreviation " + item.text + " nests too deep");
            NotationParser inner(grammar_, abbreviation.production, depth_ + 1);
            int32_t root = inner.parseAll(true);
            if (root < 0) return error(item.text + ": " + inner.message());
            return root;
        }
        return error("unknown name " + item.text);
    }

    Grammar& grammar_;
    NotationLexer lexer_;
    NotationToken token_;
    std::string message_;
    int depth_;
    bool expanded_ = false;
};

uint64_t nextGrammarGeneration() {
    static uint64_t last = 0;
    return ++last;
}

bool Grammar::fail(std::string message) {
    if (error_.empty()) error_ = std::move(message);
    return false;
}

bool Grammar::addRules(const GrammarRuleRow* rules, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const GrammarRuleRow& row = rules[i];
        if (row.id < kFirstRuleId || row.id >= kIdLimit) return fail("rule id out of range: " + std::to_string(row.id));
        if (rules_[row.id].defined) return fail("rule id defined twice: " + std::to_string(row.id));
        if (!row.name || !row.production) return fail("rule without name or production");
        Rule& rule = rules_[row.id];
        rule.defined = true;
        rule.name = row.name;
        rule.production = row.production;
        rule.hints = row.hints ? row.hints : "none";
    }
    built_ = false;
    setBodies();
    return true;
}

bool Grammar::addAbbreviations(const GrammarAbbreviation* abbreviations, size_t count) {
    for (size_t i = 0; i < count; ++i)
        abbreviations_.push_back({abbreviations[i].name, abbreviations[i].production});
    built_ = false;
    setBodies();
    return true;
}

bool Grammar::addNativeRule(uint32_t id, const char* name, RuleBody body) {
    if (id < kFirstRuleId || id >= kIdLimit || rules_[id].defined || !body) return fail("bad native rule");
    rules_[id].defined = true;
    rules_[id].name = name;
    rules_[id].native = body;
    setBodies();
    return true;
}

uint32_t Grammar::ruleId(const char* name) const {
    for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id)
        if (rules_[id].defined && std::strcmp(rules_[id].name, name) == 0) return id;
    return 0;
}

const char* Grammar::ruleName(uint32_t id) const { return hasRule(id) ? rules_[id].name : nullptr; }

bool Grammar::build() {
    ops_.clear();
    owner_.clear();
    for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id) {
        Rule& rule = rules_[id];
        if (!rule.defined || rule.native) continue;
        NotationParser parser(*this, rule.production, 0);
        rule.root = parser.parseAll(false);
        if (rule.root < 0) return fail(std::string(rule.name) + ": " + parser.message());
        if (!applyHints(id, rule.root)) return false;
        owner_.resize(ops_.size(), id);
    }
    compile();
    analyseLeading();
    built_ = true;
    setBodies();
    firstFailures_.clear();
    generation_ = nextGrammarGeneration();
    return true;
}

void Grammar::compile() {
    builtCode_.clear();
    builtKids_.clear();
    builtCode_.reserve(ops_.size());
    for (size_t i = 0; i < ops_.size(); ++i) {
        const Op& op = ops_[i];
        Code code{};
        code.type = op.type;
        code.hint = op.hint >= 0 ? op.hint : -1;
        code.value = op.value;
        // A rule's reference to itself is answered by the memo alone.
        code.callable = op.type == OpType::Item && op.value >= kFirstRuleId && op.value != owner_[i];
        code.first = static_cast<uint32_t>(builtKids_.size());
        code.count = static_cast<uint32_t>(op.children.size());
        builtKids_.insert(builtKids_.end(), op.children.begin(), op.children.end());
        builtCode_.push_back(code);
    }
    code_ = builtCode_;
    kids_ = builtKids_;
}

bool Grammar::leadingOf(uint32_t index, Leading& into) const {
    const Code& code = code_[index];
    switch (code.type) {
    case OpType::Item: {
        into.ids.set(code.value);
        if (code.hint >= 0) into.hinted = true;
        if (!code.callable) return false;
        const Leading& called = leading_[code.value];
        into.ids.merge(called.ids);
        into.hinted = into.hinted || called.hinted;
        return called.nullable;
    }
    case OpType::Sequence:
        for (uint32_t i = 0; i < code.count; ++i)
            if (!leadingOf(kids_[code.first + i], into)) return false;
        return true;
    case OpType::Choice: {
        bool nullable = false;
        for (uint32_t i = 0; i < code.count; ++i) nullable = leadingOf(kids_[code.first + i], into) || nullable;
        return nullable;
    }
    case OpType::Optional:
        leadingOf(kids_[code.first], into);
        return true;
    }
    return false;
}

// The first items of every rule, closed over the rules they call. The sets
// only grow, so repeating until nothing changes reaches the closure.
void Grammar::analyseLeading() {
    for (Leading& leading : leading_) leading = Leading();
    for (bool grew = true; grew;) {
        grew = false;
        for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id) {
            const Rule& rule = rules_[id];
            if (!rule.defined || rule.native || rule.root < 0) continue;
            Leading next = leading_[id];
            next.nullable = leadingOf(static_cast<uint32_t>(rule.root), next) || next.nullable;
            Leading& current = leading_[id];
            if (next.ids == current.ids && next.nullable == current.nullable && next.hinted == current.hinted) continue;
            current = next;
            grew = true;
        }
    }
    // A rule may be answered at once only when no rule it may call first can
    // match nothing (an empty match is reported) or runs hand-written code.
    for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id)
        leading_[id].skippable = rules_[id].defined && !rules_[id].native && !leading_[id].nullable;
    for (bool shrank = true; shrank;) {
        shrank = false;
        for (uint32_t id = kFirstRuleId; id < kIdLimit; ++id) {
            if (!leading_[id].skippable) continue;
            for (uint32_t called = kFirstRuleId; called < kIdLimit; ++called) {
                if (called == id || !leading_[id].ids.test(called) || leading_[called].skippable) continue;
                leading_[id].skippable = false;
                shrank = true;
                break;
            }
        }
    }
    analyseGroups();
}

// A group may be answered at once on the terms a rule may: it cannot match
// nothing, and every rule it may test first (its own rule's memo included)
// is one the leading sets answer.
void Grammar::analyseGroups() {
    builtGroups_.assign(code_.size(), GroupLeading());
    groups_ = builtGroups_;
    RuleSet unanswered;  // the rules the leading sets cannot answer for
    for (uint32_t rule = kFirstRuleId; rule < kIdLimit; ++rule)
        if (!leading_[rule].skippable) unanswered.set(rule);
    for (uint32_t index = 0; index < code_.size(); ++index) {
        if (code_[index].type == OpType::Item) continue;
        Leading leading;
        const bool skippable = !leadingOf(index, leading) && !leading.ids.intersects(unanswered);
        builtGroups_[index] = GroupLeading{leading.ids, leading.hinted, skippable};
    }
}

const Grammar::FirstFailure* Grammar::hintedFailure(uint32_t id, const TokenRecord& record) const {
    if (firstFailures_.empty()) firstFailures_.resize(kIdLimit);
    const FirstFailure& failure = firstFailures_[id].known ? firstFailures_[id] : workOutFailure(id);
    if (!failure.usable || record.active.intersects(failure.visited) || record.visited.intersects(failure.visited))
        return nullptr;
    return &failure;
}

const Grammar::FirstFailure& Grammar::workOutFailure(uint32_t id) const {
    FailingWalk walk;
    walkFailingRule(id, walk);
    walk.visited.reset(id);
    FirstFailure& failure = firstFailures_[id];
    failure = FirstFailure{walk.visited, walk.hint, true, walk.usable};
    return failure;
}

// As the engine's attempt of a rule: the guards, the visited mark, the
// answer of the leading sets, and the walk of the body while it is active.
void Grammar::walkFailingRule(uint32_t id, FailingWalk& walk) const {
    if (id >= kIdLimit) {
        walk.usable = false;
        return;
    }
    if (walk.active.test(id) || walk.visited.test(id)) return;
    walk.visited.set(id);
    const Leading& leading = leading_[id];
    if (leading.skippable && (walk.hint >= 0 || !leading.hinted)) return;
    // Rules the leading sets may answer for call only such rules first.
    if (!leading.skippable || bodies_[id].root < 0) {
        walk.usable = false;
        return;
    }
    walk.active.set(id);
    walkFailingCode(static_cast<uint32_t>(bodies_[id].root), walk);
    walk.active.reset(id);
}

// As matchCode over a record where every item fails: an item leaves its
// hint where none is yet, and a rule item is attempted first unless the
// leading sets refuse it; a group is passed over where groupFailsAtOnce
// would pass it over.
bool Grammar::walkFailingCode(uint32_t index, FailingWalk& walk) const {
    const Code& code = code_[index];
    const uint32_t* kid = kids_.data() + code.first;
    const auto groupSkipped = [&](uint32_t group) {
        return groups_[group].skippable && (walk.hint >= 0 || !groups_[group].hinted);
    };
    switch (code.type) {
    case OpType::Item:
        if (code.callable) {
            const Leading& called = leading_[code.value < kIdLimit ? code.value : 0];
            if (code.value >= kIdLimit || !called.skippable || (walk.hint < 0 && called.hinted))
                walkFailingRule(code.value, walk);
        }
        if (walk.hint < 0 && code.hint >= 0) walk.hint = code.hint;
        return false;
    case OpType::Sequence:
        for (uint32_t i = 0; i < code.count; ++i)
            if (!walkFailingCode(kid[i], walk)) return false;
        return true;
    case OpType::Choice:
        for (uint32_t i = 0; i < code.count; ++i) {
            if (code_[kid[i]].type != OpType::Item && groupSkipped(kid[i])) continue;
            if (walkFailingCode(kid[i], walk)) return true;
        }
        return false;
    case OpType::Optional:
        if (code_[kid[0]].type != OpType::Item && groupSkipped(kid[0])) return true;
        walkFailingCode(kid[0], walk);
        return true;
    }
    return false;
}

inline bool Grammar::groupFailsAtOnce(qeLexSyntax& engine, uint32_t index, int q) const {
    const GroupLeading& group = groups_[index];
    if (!group.skippable || !shortcuts_) return false;
    // Past the window, the text or an error, a failing item leaves an end
    // hint behind: only a record in the window answers.
    const TokenRecord* record = engine.recordInWindow(q);
    return record != nullptr && !record->matches.intersects(group.ids) && (record->hint >= 0 || !group.hinted);
}

bool Grammar::applyHints(uint32_t id, int32_t root) {
    const Rule& rule = rules_[id];
    NotationLexer lexer(rule.hints);
    NotationToken token = lexer.next();
    if (token.type == Lexeme::Word && token.text == "none")
        return lexer.next().type == Lexeme::End ? true : fail(std::string(rule.name) + ": bad hints");
    while (token.type != Lexeme::End) {
        if (token.type != Lexeme::Word) return fail(std::string(rule.name) + ": bad hints");
        int32_t code = std::atoi(token.text.c_str());
        if (code <= 0 || token.text.find_first_not_of("0123456789") != std::string::npos)
            return fail(std::string(rule.name) + ": bad hint code " + token.text);
        token = lexer.next();
        if (token.type != Lexeme::Word || token.text != "at")
            return fail(std::string(rule.name) + ": hint without 'at'");
        token = lexer.next();
        if (token.type == Lexeme::Word && token.text == "each") token = lexer.next();
        uint32_t target = 0;
        if (token.type == Lexeme::Quoted) target = kindOfText(token.text);
        else if (token.type == Lexeme::Word) target = kindOfName(token.text) ? kindOfName(token.text) : ruleId(token.text.c_str());
        if (target == 0) return fail(std::string(rule.name) + ": unknown hint item " + token.text);
        markHint(root, target, code);
        token = lexer.next();
        if (token.type == Lexeme::Comma) token = lexer.next();
        else if (token.type != Lexeme::End) return fail(std::string(rule.name) + ": bad hints");
    }
    return true;
}

void Grammar::markHint(int32_t opIndex, uint32_t target, int32_t code) {
    Op& op = ops_[static_cast<size_t>(opIndex)];
    if (op.hint == -2) return;  // items of an abbreviation keep no hints of the rule
    if (op.type == OpType::Item) {
        if (op.value == target) op.hint = code;
        return;
    }
    for (uint32_t child : op.children) markHint(static_cast<int32_t>(child), target, code);
}

// Kept in step with the rules and built_ by every change of either.
void Grammar::setBodies() {
    for (uint32_t id = 0; id < kIdLimit; ++id) {
        const Rule& rule = rules_[id];
        bodies_[id] = Body();
        if (!rule.defined) continue;
        bodies_[id].native = rule.native;
        if (!rule.native && built_) bodies_[id].root = rule.root;
    }
    for (uint32_t id = 0; id < kIdLimit; ++id) planAgain(id);
}

// The alternatives a walk of the body passes over where groupFailsAtOnce
// answers, up to the first lone item, which the memo answers where the
// record holds it.
void Grammar::planAgain(uint32_t id) {
    Again& again = again_[id];
    again = Again();
    if (bodies_[id].native || bodies_[id].root < 0) return;
    const uint32_t root = static_cast<uint32_t>(bodies_[id].root);
    const bool choice = code_[root].type == OpType::Choice;
    const uint32_t* alternatives = choice ? kids_.data() + code_[root].first : &root;
    const uint32_t count = choice ? code_[root].count : 1;
    for (uint32_t i = 0; i < count; ++i) {
        const Code& alternative = code_[alternatives[i]];
        if (alternative.type == OpType::Item) {
            again.item = alternative.value;
            again.usable = true;
            return;
        }
        const GroupLeading& group = groups_[alternatives[i]];
        if (!group.skippable) return;
        again.refused.merge(group.ids);
        again.hinted = again.hinted || group.hinted;
    }
}

namespace {

// Items are most of the productions: they are tested in place rather than
// through another call of the interpreter.
template <typename CodeT>
inline bool matchLeaf(qeLexSyntax& engine, const CodeT& code, int& q, uint32_t& changed) {
    if (engine.matchItem(q, code.value, code.callable, changed)) return true;
    engine.itemFailed(q, code.hint);
    return false;
}

}  // namespace

bool Grammar::matchCode(qeLexSyntax& engine, uint32_t index, int& q, uint32_t& changed) const {
    // The arrays never change while a parse runs; held in locals, they are
    // not read again after every call into the engine.
    const Code* const codes = code_.data();
    const Code& code = codes[index];
    const uint32_t* kid = kids_.data() + code.first;
    switch (code.type) {
    case OpType::Item:
        return matchLeaf(engine, code, q, changed);
    case OpType::Sequence: {
        int at = q;
        for (uint32_t i = 0, count = code.count; i < count; ++i) {
            const Code& item = codes[kid[i]];
            bool matched = item.type == OpType::Item ? matchLeaf(engine, item, at, changed)
                                                     : matchCode(engine, kid[i], at, changed);
            if (!matched) return false;
        }
        q = at;
        return true;
    }
    case OpType::Choice:
        for (uint32_t i = 0, count = code.count; i < count; ++i) {
            const Code& item = codes[kid[i]];
            int at = q;
            bool matched = item.type == OpType::Item             ? matchLeaf(engine, item, at, changed)
                           : groupFailsAtOnce(engine, kid[i], q) ? false
                                                                 : matchCode(engine, kid[i], at, changed);
            if (matched) {
                q = at;
                return true;
            }
        }
        return false;
    case OpType::Optional: {
        if (codes[kid[0]].type != OpType::Item && groupFailsAtOnce(engine, kid[0], q)) return true;
        int at = q;
        if (matchCode(engine, kid[0], at, changed)) q = at;
        return true;
    }
    }
    return false;
}
