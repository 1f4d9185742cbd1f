#include "source/rule_table.h"

#include "source/builders.h"

namespace {

using Builder = RuleBuilder;

struct RuleEntry {
    uint32_t rule;
    Builder builder;
};

// An operator between operands: its expression reads the operator's text
// from the record, so a name node made for it would only be dropped again
// (one in ten nodes of ordinary code). A node an earlier match left there
// stays, as with any rule that passes its record through.
void passOperator(const RuleMatch& m, NodeRef& result) {
    if (m.count() == 1) result = m.node(0);
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

void callWithNew(const RuleMatch& m, NodeRef& result) { build::call(m, result, true); }
void callWithoutNew(const RuleMatch& m, NodeRef& result) { build::call(m, result, false); }

constexpr RuleEntry kRules[] = {
    {96, build::binary},
    {97, build::conditional},
    {RuleId::LogicalOrExpression, build::binary},
    {RuleId::LogicalAndExpression, build::binary},
    {RuleId::BitOrExpression, build::bitwise},
    {RuleId::XorExpression, build::bitwise},
    {RuleId::BitAndExpression, build::bitwise},
    {RuleId::EqualityExpression, build::binary},
    {RuleId::RelationalExpression, build::binary},
    {RuleId::ShiftOperator, build::shiftOperator},
    {RuleId::ShiftExpression, build::bitwise},
    {RuleId::AdditiveExpression, build::additive},
    {RuleId::MultiplicativeExpression, build::multiplicative},
    {RuleId::UnaryExpression, build::unary},
    {RuleId::Literal, build::literal},
    {RuleId::OperatorName, build::operatorName},
    {RuleId::MemberAccess, build::memberAccess},
    {RuleId::Subscript, build::subscript},
    {RuleId::GenericType, build::genericType},
    {RuleId::NewObject, callWithNew},
    {RuleId::ArrayType, build::arrayType},
    {RuleId::ArrayDimensions, build::subscript},
    {RuleId::NewArray, build::newArray},
    {RuleId::NewArrayWithInitializer, build::newArrayWithInitializer},
    {RuleId::MemberAccessChain, build::memberAccess},
    {RuleId::SubscriptChain, build::subscript},
    {RuleId::Call, callWithoutNew},
    {RuleId::Parenthesized, passRecord<1>},
    {RuleId::Cast, build::cast},
    {RuleId::ReturnStatement, returnOrThrowOf<NodeKind::Return>},
    {RuleId::ThrowStatement, returnOrThrowOf<NodeKind::Throw>},
    {RuleId::Statement, build::statement},
    {RuleId::PrimaryExpression, build::primary},
    {RuleId::NewWithClassBody, build::newWithBody},
    {RuleId::ArgumentList, build::list},
    {RuleId::TypeArgumentList, build::list},
    {RuleId::BraceInitializer, build::braceInitializer},
    {RuleId::SynchronizedBlock, build::synchronizedBlock},
    {RuleId::IfStatement, build::ifStatement},
    {RuleId::ForInit, forClauseOf<RuleId::ForInit>},
    {RuleId::ForStep, forClauseOf<RuleId::ForStep>},
    {RuleId::ForStatement, build::forStatement},
    {RuleId::ForEachStatement, build::forEach},
    {RuleId::ForToStatement, build::forTo},
    {RuleId::WhileStatement, build::whileStatement},
    {RuleId::DoWhileStatement, build::doWhile},
    {RuleId::CaseGroup, build::caseGroup},
    {RuleId::SwitchStatement, build::switchStatement},
    {RuleId::CatchClause, build::catchClause},
    {RuleId::TryStatement, build::tryStatement},
    {RuleId::StatementBody, build::statementBody},
    {RuleId::StatementList, memberListOf<RuleId::StatementList>},
    {RuleId::DeclaratorList, declaratorListOf<RuleId::DeclaratorList, NodeKind::VariableDeclaration>},
    {RuleId::TypeNameList, declaratorListOf<RuleId::TypeNameList, NodeKind::ThrowsType>},
    {RuleId::ThrowsClause, passRecord<1>},
    {RuleId::EnumItemList, declaratorListOf<RuleId::EnumItemList, NodeKind::EnumItem>},
    {RuleId::VariableDeclaration, build::variableDeclaration},
    {RuleId::DeclarationStatement, passRecord<0>},
    {RuleId::ParameterList, build::parameterList},
    {RuleId::NativeParameterList, build::nativeParameterList},
    {RuleId::StringList, build::stringList},
    {RuleId::DottedName, build::dottedName},
    {RuleId::UsingItem, build::usingItem},
    {RuleId::UsingBlock, passRecord<2>},
    {RuleId::MethodDefinition, methodOf<MethodSort::Method>},
    {RuleId::ConstructorDefinition, methodOf<MethodSort::Method>},
    {RuleId::ConstructorDeclaration, methodOf<MethodSort::Bodiless>},
    {RuleId::OperatorDefinition, operatorOf<MethodSort::Method>},
    {RuleId::ClassBaseList, build::baseClause},
    {RuleId::EnumBase, build::baseClause},
    {RuleId::NativeFunctionDeclaration, build::nativeFunction},
    {RuleId::NativeFunctionList, build::nativeFunctionList},
    {RuleId::NativeImportBlock, build::nativeImport},
    {RuleId::AccessModifier, build::accessModifier},
    {RuleId::ClassMember, memberListOf<RuleId::ClassMember>},
    {RuleId::ClassDeclaration, typeDeclarationOf<TypeSort::Class>},
    {RuleId::EnumDeclaration, typeDeclarationOf<TypeSort::Enum>},
    {RuleId::InterfaceBaseList, build::baseClause},
    {RuleId::InterfaceMethod, methodOf<MethodSort::Bodiless>},
    {RuleId::InterfaceOperator, operatorOf<MethodSort::Bodiless>},
    {RuleId::AnnotatedInterfaceMember, memberListOf<RuleId::AnnotatedInterfaceMember>},
    {RuleId::InterfaceDeclaration, typeDeclarationOf<TypeSort::Interface>},
    {RuleId::PackageMember, memberListOf<RuleId::PackageMember>},
    {RuleId::PackageDeclaration, typeDeclarationOf<TypeSort::Package>},
    {RuleId::DeclareDirective, build::declareDirective},
    {RuleId::AnnotationArguments, build::annotationArguments},
    {RuleId::Annotation, build::annotation},
    {RuleId::AnnotationList, build::annotationList},
    {RuleId::TopLevelItems, memberListOf<RuleId::TopLevelItems>},
};

// Rules whose one record is an operator token; they stay pass-through rules
// for the engine (a record that holds a node keeps it untold).
constexpr uint32_t kOperatorRules[] = {
    RuleId::AssignmentOperator, RuleId::LogicalOrOperator,      RuleId::LogicalAndOperator, RuleId::BitOrOperator,
    RuleId::XorOperator,        RuleId::BitAndOperator,         RuleId::EqualityOperator,   RuleId::RelationalOperator,
    RuleId::AdditiveOperator,   RuleId::MultiplicativeOperator, RuleId::PrefixOperator,
};

constexpr uint32_t kIdLimit = 256;

// Rules with a builder whose match over one record that holds a node is
// that node, unchanged: a statement of one record (its rule is one of those
// that stand as a statement), a body of one statement, a list of one body (a
// record already taken as the list is never told of it again). Every
// statement passes through them.
constexpr uint32_t kHandedDownRules[] = {RuleId::Statement, RuleId::StatementBody, RuleId::StatementList};

// Every rule id but those with a builder and the two directives, and the
// rules that hand a record's node down.
struct PassThroughSet {
    uint64_t words[4] = {~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}, ~uint64_t{0}};
    constexpr PassThroughSet() {
        for (const RuleEntry& e : kRules) clear(e.rule);
        clear(RuleId::RequireDirective);
        clear(RuleId::IncludeDirective);
        for (uint32_t rule : kHandedDownRules) words[rule >> 6] |= uint64_t{1} << (rule & 63);
    }
    constexpr void clear(uint32_t rule) { words[rule >> 6] &= ~(uint64_t{1} << (rule & 63)); }
};

constexpr PassThroughSet kPassThrough;
static_assert(kIdLimit == 256, "the pass-through set holds 256 rule ids");

}  // namespace

const uint64_t kPassThroughRules[4] = {kPassThrough.words[0], kPassThrough.words[1], kPassThrough.words[2],
                                       kPassThrough.words[3]};

constexpr RuleBuilderTable kRuleBuilders = [] {
    RuleBuilderTable table{};
    for (RuleBuilder& builder : table.byId) builder = passRecordThrough;
    table.byId[RuleId::RequireDirective] = nullptr;
    table.byId[RuleId::IncludeDirective] = nullptr;
    for (const RuleEntry& e : kRules) table.byId[e.rule] = e.builder;
    for (uint32_t rule : kOperatorRules) table.byId[rule] = passOperator;
    return table;
}();

RuleSet operatorRules() {
    RuleSet rules;
    for (uint32_t rule : kOperatorRules) rules.set(rule);
    return rules;
}

void fillNodeMarkRules(uint8_t (&marks)[256]) {
    for (uint8_t& mark : marks) mark = 0;
    marks[RuleId::PrimaryExpression] = kKeptAsPrimary;
    marks[RuleId::OperatorName] = kKeptAsName;
}

void fillFirstRecordRules(RuleSet (&rules)[256]) {
    for (RuleSet& set : rules) set.clear();
    rules[RuleId::Statement] = build::standaloneStatementRules();
    rules[RuleId::DeclarationStatement].set(RuleId::VariableDeclaration);
}

uint8_t nameMarks(const RuleMatch& m, const NodeRef& name) {
    uint8_t marks = isBoolWord(*name) ? 0 : kKeptAsPrimary;  // build::primary turns those into literals
    // The handle given back holds it, and the record too when it kept its node.
    const uint32_t holders = m.node(0).get() == name.get() ? 2 : 1;
    if (isPlainName(m, name, holders)) marks |= kKeptAsName;
    return marks;
}

// Rules with no builder of their own pass their one record through.
void passRecordThrough(const RuleMatch& m, NodeRef& result) {
    if (m.count() != 1) return;
    if (const NodeRef& own = m.node(0)) {
        result = own;
        return;
    }
    result = m.makeNode(NodeKind::Name);
    setText(*result, m.text(0));
    m.madePlainName();
}
