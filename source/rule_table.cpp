#include "source/rule_table.h"

#include "source/builders.h"

namespace {

using Builder = void (*)(const RuleMatch& m, NodeRef& result);

struct RuleEntry {
    uint32_t rule;
    Builder builder;
};

// Rules with no builder of their own pass their one record through.
void passThrough(const RuleMatch& m, NodeRef& result) {
    if (m.count() != 1) return;
    if (const NodeRef& own = m.node(0)) {
        result = own;
        return;
    }
    result = m.makeNode(NodeKind::Name);
    setText(*result, m.text(0));
}

template <int K>
void passRecord(const RuleMatch& m, NodeRef& result) {
    result = m.node(K);
}

template <uint32_t Rule>
void memberListOf(const RuleMatch& m, NodeRef& result) {
    build::memberList(m, result, Rule);
}

template <uint32_t Rule>
void forClauseOf(const RuleMatch& m, NodeRef& result) {
    build::forClause(m, result, Rule);
}

template <uint32_t Rule, uint32_t Kind>
void declaratorListOf(const RuleMatch& m, NodeRef& result) {
    build::declaratorList(m, result, Rule, Kind);
}

template <TypeSort Sort>
void typeDeclarationOf(const RuleMatch& m, NodeRef& result) {
    build::typeDeclaration(m, result, Sort);
}

template <MethodSort Sort>
void methodOf(const RuleMatch& m, NodeRef& result) {
    build::method(m, result, Sort);
}

template <MethodSort Sort>
void operatorOf(const RuleMatch& m, NodeRef& result) {
    build::operatorOverload(m, result, Sort);
}

template <uint32_t Kind>
void returnOrThrowOf(const RuleMatch& m, NodeRef& result) {
    build::returnOrThrow(m, result, Kind);
}

void primaryExpression(const RuleMatch& m, NodeRef& result) { build::primary(m, result, true); }
void typeReference(const RuleMatch& m, NodeRef& result) { build::primary(m, result, false); }
void callWithNew(const RuleMatch& m, NodeRef& result) { build::call(m, result, true); }
void callWithoutNew(const RuleMatch& m, NodeRef& result) { build::call(m, result, false); }

constexpr RuleEntry kRules[] = {
    {96, build::binary},
    {97, build::conditional},
    {100, build::binary},
    {103, build::binary},
    {106, build::bitwise},
    {109, build::bitwise},
    {112, build::bitwise},
    {115, build::binary},
    {118, build::binary},
    {119, build::shiftOperator},
    {121, build::bitwise},
    {124, build::additive},
    {127, build::multiplicative},
    {130, build::unary},
    {131, build::literal},
    {133, build::operatorName},
    {134, build::memberAccess},
    {135, build::subscript},
    {136, build::genericType},
    {137, callWithNew},
    {138, build::arrayType},
    {139, build::subscript},
    {140, build::newArray},
    {141, build::newArrayWithInitializer},
    {142, build::memberAccess},
    {143, build::subscript},
    {144, callWithoutNew},
    {145, typeReference},
    {146, passRecord<1>},
    {147, build::cast},
    {148, returnOrThrowOf<NodeKind::Return>},
    {149, returnOrThrowOf<NodeKind::Throw>},
    {150, build::statement},
    {151, primaryExpression},
    {154, build::newWithBody},
    {155, build::list},
    {156, build::list},
    {157, build::braceInitializer},
    {158, build::synchronizedBlock},
    {159, build::ifStatement},
    {160, forClauseOf<160>},
    {161, forClauseOf<161>},
    {163, build::forStatement},
    {164, build::forEach},
    {165, build::forTo},
    {166, build::whileStatement},
    {167, build::doWhile},
    {168, build::caseGroup},
    {169, build::switchStatement},
    {170, build::catchClause},
    {171, build::tryStatement},
    {172, build::statementBody},
    {173, memberListOf<173>},
    {174, declaratorListOf<174, NodeKind::VariableDeclaration>},
    {175, declaratorListOf<175, NodeKind::ThrowsType>},
    {176, passRecord<1>},
    {177, declaratorListOf<177, NodeKind::EnumItem>},
    {178, build::variableDeclaration},
    {179, passRecord<0>},
    {180, build::parameterList},
    {181, build::nativeParameterList},
    {182, build::stringList},
    {185, build::dottedName},
    {186, build::usingItem},
    {187, passRecord<2>},
    {188, methodOf<MethodSort::Method>},
    {189, methodOf<MethodSort::Method>},
    {190, methodOf<MethodSort::Bodiless>},
    {191, operatorOf<MethodSort::Method>},
    {193, build::baseClause},
    {194, build::baseClause},
    {195, build::nativeFunction},
    {196, build::nativeFunctionList},
    {197, build::nativeImport},
    {198, build::accessModifier},
    {199, memberListOf<199>},
    {200, typeDeclarationOf<TypeSort::Class>},
    {201, typeDeclarationOf<TypeSort::Enum>},
    {202, build::baseClause},
    {203, methodOf<MethodSort::Bodiless>},
    {204, operatorOf<MethodSort::Bodiless>},
    {206, memberListOf<206>},
    {207, typeDeclarationOf<TypeSort::Interface>},
    {208, memberListOf<208>},
    {209, typeDeclarationOf<TypeSort::Package>},
    {210, build::declareDirective},
    {211, build::annotationArguments},
    {212, build::annotation},
    {213, build::annotationList},
    {214, memberListOf<214>},
};

constexpr uint32_t kIdLimit = 256;

struct RuleIndex {
    Builder byId[kIdLimit] = {};
    constexpr RuleIndex() {
        for (const RuleEntry& e : kRules) byId[e.rule] = e.builder;
    }
};

constexpr RuleIndex kIndex;

}  // namespace

bool passesRecordThrough(uint32_t ruleId) {
    return ruleId < kIdLimit && kIndex.byId[ruleId] == nullptr && ruleId != 183 && ruleId != 184;
}

RuleAction buildRuleMatch(BuildHost& host, NodeRef& result, TokenRecord* const* records, int count, uint32_t ruleId) {
    if (ruleId == 183) return RuleAction::Require;
    if (ruleId == 184) return RuleAction::Include;
    RuleMatch match(host, records, count);
    Builder builder = ruleId < kIdLimit ? kIndex.byId[ruleId] : nullptr;
    // Builders fill `result` directly; one that builds nothing leaves it empty.
    result.reset();
    (builder ? builder : passThrough)(match, result);
    return RuleAction::Built;
}
