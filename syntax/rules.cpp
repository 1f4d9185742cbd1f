#include "syntax/rules.h"


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

