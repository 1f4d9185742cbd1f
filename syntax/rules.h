// The korvo grammar: rules 95 to 215, written as production tables in the
// notation of syntax/grammar.h, one table per family of constructs. The rule
// ids are the vocabulary shared with the node builders (syntax/rule_ids.h).
#pragma once

#include <cstddef>
#include <cstdint>

#include "syntax/grammar.h"
#include "syntax/rule_ids.h"

struct GrammarRuleTable {
    const GrammarRuleRow* rules;
    size_t count;
};

// The families; together they define every id from 95 to 215 exactly once.
GrammarRuleTable expressionRules();  // assignment, conditional, operator ladder, unary, literals
GrammarRuleTable primaryRules();     // names, member access, calls, new forms, types, casts
GrammarRuleTable statementRules();   // method-body statements
GrammarRuleTable classRules();       // classes, enums, interfaces and their members
GrammarRuleTable memberRules();      // methods, constructors, operators, native declarations
GrammarRuleTable unitRules();        // compilation unit, packages, directives, annotations

// The operator tokens that may follow "operator"; an abbreviation, no rule.
extern const GrammarAbbreviation kOperatorSymbol;

// The whole grammar, built on first use. A fault in the tables is a broken
// invariant of the compiler: it is printed and the process aborts.
const Grammar& korvoGrammar();

// The rules whose walks the engine's fast path replays from its walk cache.
const RuleSet& korvoCachedWalks();
// Among those, the rules whose walks are written down only after a trial
// (see WalkCache::bind).
const RuleSet& korvoLateWalks();

// Fills `grammar` from the tables; false with grammar.error() set on a fault.
bool buildKorvoGrammar(Grammar& grammar);
