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
        // Expressions come again in every program (names, literals, calls,
        // short operator chains); whole statements in regular code; type
        // references in every declaration, where each costs several failing
        // walks (member access, generic and array forms); and the rules of
        // korvoLateWalks. Chosen by measurement: more rules (statement
        // bodies, members) cost more to write down than their replays save,
        // or keep a walk for every method of a program whose methods do not
        // repeat.
        return RuleSet::of({RuleId::Expression, RuleId::Statement, RuleId::TypeReference, RuleId::PrimaryExpression,
                            RuleId::ArrayType, RuleId::Call, RuleId::DeclarationStatement, RuleId::ParameterList});
    }();
    return rules;
}

const RuleSet& korvoLateWalks() {
    // The array type is tried first inside every pair of parentheses, and
    // at a name fails through the generic type and the member access, each
    // tried again after the name is recorded: the walk cache answers it from
    // the name and the token behind it. A call and a declaration statement
    // are walked over their arguments and initial values, and a parameter
    // list over its types, whose shapes come again in long methods and
    // classes. A small program has too few of any of them to pay for writing
    // them down (varied 10k: 870M to 820M instructions with the four; the
    // hostile shapes no slower with the trial).
    static const RuleSet rules = RuleSet::of(
        {RuleId::ArrayType, RuleId::Call, RuleId::DeclarationStatement, RuleId::ParameterList});
    return rules;
}
