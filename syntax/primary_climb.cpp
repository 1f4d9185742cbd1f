// The commonest primary expression, a lone name, recognised directly in the
// engine's speculative parse.
//
// Walked as the rules say, a name that nothing behind it continues (an
// operand before an operator, ")", "," or ";") is tried as a call, a member
// access chain, a subscript chain, a subscript, a member access and a generic
// type before it is taken for what it is, and each of those tries the others
// again under it: some forty rule attempts for one token. The walk cache
// answers those only where the token behind the name was seen behind it
// before, and only after following its key. In the varied code of the
// front-end comparison (bench/compare_compilers.py, row "varied") names are
// a third of the tokens and most of them are such operands.
//
// The rules' walk there, from a record that holds the name's token, perhaps
// the name and operator-name rules, perhaps the type-reference rule a
// declaration tried it as, perhaps the type-argument list, and no mark of a
// rule the walk may attempt but the primary expression itself (and the
// member access and generic type that a declaration's earlier try leaves),
// is always the same: the name and the operator name are recorded if the
// record does not hold them, and the six forms that fail leave their visited
// marks. The record behind is only tested for the tokens that would continue
// the name, so it must be a plain token that is none of them. Any other
// start goes to the walk cache and the rules as before.
#include "syntax/grammar.h"
#include "syntax/lex_syntax.h"
#include "syntax/rule_ids.h"

namespace {

// The rules a record at a lone name may hold besides its token.
const RuleSet& nameRules() {
    static const RuleSet rules = RuleSet::of({TokenKind::Identifier, RuleId::Identifier, RuleId::OperatorName,
                                              RuleId::TypeReference, RuleId::PrimaryExpression,
                                              RuleId::TypeArgumentList});
    return rules;
}

// The forms that try the name and fail there: what they leave marked.
const RuleSet& failedForms() {
    static const RuleSet rules = RuleSet::of({RuleId::MemberAccess, RuleId::Subscript, RuleId::GenericType,
                                              RuleId::MemberAccessChain, RuleId::SubscriptChain, RuleId::Call});
    return rules;
}

// The marks at a name an earlier try of a declaration may leave: the walk
// goes the same way under them.
const RuleSet& toleratedMarks() {
    static const RuleSet rules = RuleSet::of({RuleId::PrimaryExpression, RuleId::MemberAccess, RuleId::GenericType});
    return rules;
}

// The token kinds that would continue a name into a longer form.
const RuleSet& continuingKinds() {
    static const RuleSet kinds = RuleSet::of(
        {TokenKind::Dot, TokenKind::LeftParen, TokenKind::LeftBracket, TokenKind::Less});
    return kinds;
}

// A fresh "(" or a parenthesised part already reduced.
bool opensParenthesized(const RuleSet& matches) {
    const int single = matches.single();
    return single == static_cast<int>(TokenKind::LeftParen) || single == static_cast<int>(RuleId::Parenthesized);
}

// The marks at a parenthesised part under which the alternatives after the
// cast go as written: the primary expression under way, the cast and the
// parenthesised part it tried, and the member access and generic type that
// an array type tried at a part inside parentheses leaves.
const RuleSet& parenthesizedMarks() {
    static const RuleSet rules = RuleSet::of(
        {RuleId::PrimaryExpression, RuleId::Cast, RuleId::Parenthesized, RuleId::MemberAccess, RuleId::GenericType});
    return rules;
}

// The token kinds of literals.
const RuleSet& literalKinds() {
    static const RuleSet kinds = RuleSet::of({TokenKind::HexInteger, TokenKind::LongInteger, TokenKind::Integer,
                                              TokenKind::Float, TokenKind::String, TokenKind::Char});
    return kinds;
}

// What behind a parenthesised part would let a form other than the part
// itself take it: a continuing token, or a primary expression for the cast.
const RuleSet& continuingAfterPart() {
    static const RuleSet kinds = RuleSet::of(
        {TokenKind::Dot, TokenKind::LeftBracket, TokenKind::Less, RuleId::PrimaryExpression});
    return kinds;
}

// The forms a primary expression tries at a parenthesised part and that
// fail there, with the primary expression itself.
const RuleSet& triedAtPart() {
    static const RuleSet rules = RuleSet::of({RuleId::MemberAccess, RuleId::Subscript, RuleId::GenericType,
                                              RuleId::MemberAccessChain, RuleId::SubscriptChain, RuleId::Call,
                                              RuleId::Cast, RuleId::PrimaryExpression});
    return rules;
}

// The forms a primary expression tries at a literal and that fail there,
// with the primary expression itself.
const RuleSet& triedAtLiteral() {
    static const RuleSet rules = RuleSet::of({RuleId::MemberAccess, RuleId::Subscript, RuleId::GenericType,
                                              RuleId::MemberAccessChain, RuleId::SubscriptChain, RuleId::Call,
                                              RuleId::PrimaryExpression});
    return rules;
}

// One token kind and no rule.
bool isPlainToken(const RuleSet& matches) {
    const int kind = matches.single();
    return kind >= 0 && static_cast<uint32_t>(kind) < RuleId::First;
}

}  // namespace

int qeLexSyntax::directPrimary(int start, uint32_t& changed) {
    if (error_ || static_cast<unsigned>(start + 1) >= static_cast<unsigned>(kWindowSize)) return kNotDirect;
    TokenRecord* first = window_[start];
    if (first == nullptr || first->span != 1) return kNotDirect;
    if (!first->matches.test(TokenKind::Identifier))
        return first->matches.test(RuleId::Parenthesized)  ? parenthesizedAgain(start)
               : first->matches.intersects(literalKinds()) ? literalPrimary(start, changed)
                                                           : kNotDirect;
    if (!nameRules().covers(first->matches)) return kNotDirect;
    // A name not yet recorded is a fresh token: only the primary expression's
    // own marks may stand there, as the attempt set them.
    const bool named = first->matches.test(RuleId::Identifier);
    if (!named && first->matches.single() != static_cast<int>(TokenKind::Identifier)) return kNotDirect;
    const RuleSet& reach = cache_->reach(RuleId::PrimaryExpression);
    if (!first->active.test(RuleId::PrimaryExpression) || !first->active.sharesOnly(reach, RuleId::PrimaryExpression) ||
        !first->visited.test(RuleId::PrimaryExpression))
        return kNotDirect;
    RuleSet marks = first->visited;
    marks.keepOnly(reach);
    const bool marksKnown = named ? toleratedMarks().covers(marks)
                                  : marks.single() == static_cast<int>(RuleId::PrimaryExpression);
    if (!marksKnown) return kNotDirect;
    const TokenRecord* next = tokenAt(start + 1);
    if (error_ || next == &spare_ || next->span != 1 || !isPlainToken(next->matches) ||
        next->matches.intersects(continuingKinds()))
        return kNotDirect;
    if (!named) recordOne(start, RuleId::Identifier, changed);
    // Recorded already when the primary expression is attempted again
    // after its match, as the protocol does: nothing to record then.
    if (!first->matches.test(RuleId::OperatorName)) recordOne(start, RuleId::OperatorName, changed);
    first->visited.merge(failedForms());
    return error_ ? -1 : start + 1;
}

// A primary expression at "(" or at a parenthesised part, where the walk
// cache seldom answers, as the key of a first walk there runs over the whole
// inside: most expressions of the varied program (bench/varied_program.py)
// hold parenthesised operands. The cast comes first and is attempted as the
// rules attempt it. When it fails and the part was reduced, every other form
// that could take the part in front (a call, a chain, a subscript, a member
// access, a generic type) needs ".", "[" or "<" behind it: with none there,
// they fail at that token, and the parenthesised part is the match. Their
// visited marks go with the match, which is new at the record; the hints they
// leave are left (the brace initialiser's at the part, when it has none yet,
// as a part reduced before the cast keeps none of its "(").
int qeLexSyntax::directParenthesized(int start, uint32_t& changed) {
    const TokenRecord* first = window_[start];
    if (error_ || first == nullptr || first->span != 1 || !opensParenthesized(first->matches)) return kNotDirect;
    int q = start;
    if (matchItem(q, RuleId::Cast, true, changed)) return error_ ? -1 : q;
    if (error_) return -1;
    first = window_[start];
    if (first == nullptr || first->span != 1 || first->matches.single() != static_cast<int>(RuleId::Parenthesized))
        return kNotDirect;
    const RuleSet& reach = cache_->reach(RuleId::PrimaryExpression);
    RuleSet marks = first->visited;
    marks.merge(first->active);
    marks.keepOnly(reach);
    if (!parenthesizedMarks().covers(marks)) return kNotDirect;
    const TokenRecord* next = recordInWindow(start + 1);
    if (next == nullptr || next->matches.test(TokenKind::Dot) || next->matches.test(TokenKind::LeftBracket) ||
        next->matches.test(TokenKind::Less))
        return kNotDirect;
    // The generic type's "<" is the first token tested behind the part,
    // unless an earlier try left it or the member access it is reached
    // through marked: the subscript's "[" is then.
    const bool genericTried = marks.test(RuleId::MemberAccess) || marks.test(RuleId::GenericType);
    setHint(start, SyntaxHint::MissingLeftBrace);
    setHint(start + 1, genericTried ? SyntaxHint::MissingLeftBracket : SyntaxHint::MissingLeftAngle);
    return start + 1;
}

// A primary expression at a literal that an earlier try marked (the member
// access and generic type an array type tried inside parentheses), where the
// walk cache does not answer. Only "." continues a literal: with anything else
// behind it, the cast's parenthesised part fails at the literal (leaving hint
// 2 there), every other form fails before it tests the token behind, and the
// literal is the match, recorded as one first if it is not yet. The visited
// marks go with the match, which is new at the record.
int qeLexSyntax::directLiteral(int start, uint32_t& changed) {
    TokenRecord* first = window_[start];
    if (error_ || first == nullptr || first->span != 1) return kNotDirect;
    const bool recorded = first->matches.test(RuleId::Literal);
    RuleSet matches = first->matches;
    matches.reset(RuleId::Literal);
    const int token = matches.single();
    if (token < 0 || !literalKinds().test(static_cast<uint32_t>(token))) return kNotDirect;
    RuleSet marks = first->visited;
    marks.merge(first->active);
    marks.keepOnly(cache_->reach(RuleId::PrimaryExpression));
    if (!toleratedMarks().covers(marks)) return kNotDirect;
    const TokenRecord* next = recordInWindow(start + 1);
    if (next == nullptr || next->matches.test(TokenKind::Dot)) return kNotDirect;
    setHint(start, SyntaxHint::MissingLeftParen);
    if (!recorded) recordOne(start, RuleId::Literal, changed);
    return error_ ? -1 : start + 1;
}

// A primary expression at a member access an earlier try recorded (a
// declaration's type, an array type inside parentheses) with "(" behind it:
// a call of it, as in the varied program's names.add(text) and s.length().
// The cast fails at the access, leaving hint 2 there, and the brace
// initialiser with it; the call's first form, a member access chain, fails
// at the "(" before it tests anything further, and its second, the member
// access, is the memo. The arguments and the ")" are then matched as the
// call matches them, and the call is recorded and attempted again as the
// protocol does. Every mark left at the access before goes with the
// reduction, and the "(" with its hints. Without the ")" the rules walk it.
int qeLexSyntax::directMemberCall(int start, uint32_t& changed) {
    TokenRecord* first = window_[start];
    if (error_ || first == nullptr || first->span != 1 || !first->matches.test(RuleId::MemberAccess)) return kNotDirect;
    RuleSet matches = first->matches;
    matches.reset(RuleId::MemberAccess);
    matches.reset(RuleId::TypeReference);
    if (!matches.none()) return kNotDirect;
    RuleSet marks = first->visited;
    marks.merge(first->active);
    marks.keepOnly(cache_->reach(RuleId::PrimaryExpression));
    if (!toleratedMarks().covers(marks)) return kNotDirect;
    const TokenRecord* open = recordInWindow(start + 1);
    if (open == nullptr || open->span != 1 || open->matches.single() != static_cast<int>(TokenKind::LeftParen))
        return kNotDirect;
    setHint(start, SyntaxHint::MissingLeftParen);
    int q = start + 2;
    matchItem(q, RuleId::ArgumentList, true, changed);
    if (error_) return -1;
    const TokenRecord* close = recordInWindow(q);
    if (close == nullptr || !close->matches.test(TokenKind::RightParen)) return kNotDirect;
    int end = q + 1;
    const int reduced = recordRuleMatch(start, end, end - start, RuleId::Call);
    changed |= static_cast<uint32_t>(reduced);
    if (error_) return -1;
    if (!reduced) return end;
    uint32_t again = 0;
    const int covered = parseRule(RuleId::Call, start, again);
    changed |= again;
    if (error_) return -1;
    return start + (covered > 0 ? covered : end - start);
}

// The protocol's repeated attempt of a primary expression at the
// parenthesised part it just matched: the record holds the part and the
// primary expression, and only the attempt's own marks. The walk there is
// one replay in eight of varied code, and goes the same way whatever stands
// behind the part, as long as that is no ".", "[" or "<" (which would
// continue the part) and no primary expression the cast could take: the cast
// then fails at the record behind, every other form that could take the
// part fails at the token behind it, the forms that need another first
// token are refused by the leading sets, and the part itself is the match
// again, recorded already. What stays is the visited marks of the forms
// tried (the brace initialiser's only where no hint refuses it), as the
// replay leaves them. Answered here, it costs neither the key nor the replay.
int qeLexSyntax::parenthesizedAgain(int start) {
    if (error_ || static_cast<unsigned>(start + 1) >= static_cast<unsigned>(kWindowSize)) return kNotDirect;
    TokenRecord* first = window_[start];
    static constexpr RuleSet kHeld = RuleSet::of({RuleId::Parenthesized, RuleId::PrimaryExpression});
    if (first == nullptr || first->span != 1 || !(first->matches == kHeld) ||
        !startIsClean(RuleId::PrimaryExpression, *first))
        return kNotDirect;
    const TokenRecord* next = recordInWindow(start + 1);
    if (next == nullptr || next->span != 1 || next->matches.intersects(continuingAfterPart()) ||
        !(next->active.test(RuleId::PrimaryExpression) || next->visited.test(RuleId::PrimaryExpression) ||
          grammar_->failsAtOnce(RuleId::PrimaryExpression, next->matches, next->hint)))
        return kNotDirect;
    first->visited.merge(triedAtPart());
    if (first->hint < 0) first->visited.set(RuleId::BraceInitializer);
    return start + 1;
}

// A primary expression at a literal, where the cast and every form that
// needs another first token are refused by the leading sets, and every form
// that a literal may begin (a member access and the chains, calls and
// subscripts made of one) needs a "." behind it: with none there, the literal
// is the match. At a fresh literal token, as the primary expression's first
// attempt finds it, the literal is recorded, which clears every mark the
// failing forms left. At the literal the protocol's repeated attempt finds,
// holding the literal and the primary expression and only the attempt's own
// marks, nothing is recorded, and the visited marks of the forms tried stay,
// as the replay leaves them. The two were one replay in eight of varied
// code; answered here, they cost neither the key nor the replay.
int qeLexSyntax::literalPrimary(int start, uint32_t& changed) {
    if (error_ || static_cast<unsigned>(start + 1) >= static_cast<unsigned>(kWindowSize)) return kNotDirect;
    TokenRecord* first = window_[start];
    if (first == nullptr || first->span != 1 || !startIsClean(RuleId::PrimaryExpression, *first)) return kNotDirect;
    RuleSet matches = first->matches;
    const bool again = matches.test(RuleId::Literal) && matches.test(RuleId::PrimaryExpression);
    if (again) {
        matches.reset(RuleId::Literal);
        matches.reset(RuleId::PrimaryExpression);
    }
    const int token = matches.single();
    if (token < 0 || !literalKinds().test(static_cast<uint32_t>(token))) return kNotDirect;
    const TokenRecord* next = recordInWindow(start + 1);
    if (next == nullptr || next->span != 1 || next->matches.test(TokenKind::Dot)) return kNotDirect;
    if (again) {
        first->visited.merge(triedAtLiteral());
        return start + 1;
    }
    recordOne(start, RuleId::Literal, changed);
    return error_ ? -1 : start + 1;
}

// A primary expression at a record that holds no name and that directPrimary
// does not answer for: a call. (Where none can begin, the grammar's leading
// sets answer before any walk, with what the walk would leave.)
int qeLexSyntax::unnamedPrimary(int start) {
    if (error_) return kNotDirect;
    const TokenRecord* first = window_[start];
    if (first == nullptr || first->span != 1 || first->matches.test(TokenKind::Identifier)) return kNotDirect;
    return first->matches.test(RuleId::Call) ? callPrimary(start) : kNotDirect;
}

// A primary expression at a call an earlier attempt reduced (a statement
// tried as a call, the expression's operand handed down), and the protocol's
// repeated attempt at the call it just matched: one replay in ten of varied
// code. The cast and the brace initialiser come before the call: the leading
// sets refuse both where the record holds a hint, and otherwise the cast is
// walked as far as its parenthesised part, whose "(" fails there and leaves
// hint 2 (which then refuses the brace initialiser). The call is the match,
// whatever follows, so nothing behind the record is read.
int qeLexSyntax::callPrimary(int start) {
    TokenRecord* first = window_[start];
    static constexpr RuleSet kCall = RuleSet::of({RuleId::Call});
    static constexpr RuleSet kCallAgain = RuleSet::of({RuleId::Call, RuleId::PrimaryExpression});
    if (first->span != 1 || !(first->matches == kCall || first->matches == kCallAgain) ||
        !startIsClean(RuleId::PrimaryExpression, *first))
        return kNotDirect;
    if (first->hint < 0) {
        first->visited.set(RuleId::Cast);
        first->visited.set(RuleId::Parenthesized);
        first->hint = SyntaxHint::MissingLeftParen;
    }
    return start + 1;
}
