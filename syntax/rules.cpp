#include "syntax/rules.h"

#include "syntax/rule_ids.h"


const GrammarAbbreviation kOperatorSymbol = {
    "OperatorSymbol",
    "AssignmentOperator | \"||\" | \"&&\" | \"|\" | \"^\" | \"&\" | TokenKind::Equality | ShiftOperator"
    " | RelationalOperator | TokenKind::IncDec | TokenKind::Not | TokenKind::Additive"
    " | TokenKind::Multiplicative | \".\" | \"[\" \"]\"",
};

bool buildKorvoGrammar(Grammar& grammar) {
    const GrammarRuleTable tables[] = {expressionRules(), primaryRules(), statementRules(),
                                       classRules(),      memberRules(),  unitRules()};
    for (const GrammarRuleTable& table : tables)
        if (!grammar.addRules(table.rules, table.count)) return false;
    if (!grammar.addAbbreviations(&kOperatorSymbol, 1)) return false;
    return grammar.build();
}


const RuleSet& korvoCachedWalks() {
    static const RuleSet rules = [] {
        RuleSet set;
        set.set(RuleId::Expression);
        return set;
    }();
    return rules;
}
