#include "syntax/rules.h"

#include <cstdio>
#include <cstdlib>

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

namespace {

Grammar* makeGrammar() {
    static Grammar grammar;
    if (!buildKorvoGrammar(grammar)) {
        std::fprintf(stderr, "korvo grammar tables: %s\n", grammar.error().c_str());
        std::abort();
    }
    return &grammar;
}

}  // namespace

const Grammar& korvoGrammar() {
    static const Grammar* grammar = makeGrammar();
    return *grammar;
}
