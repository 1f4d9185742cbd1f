// The node builders of the parse listener, one family per file. Each reads
// the records of one rule match and leaves the node it built (or nothing) in
// `result`; see rule_table.cpp for which rule runs which builder.
#pragma once

#include <cstdint>

#include "source/build_support.h"
#include "syntax/rule_ids.h"

enum class TypeSort { Class, Enum, Interface, Package };
enum class MethodSort { Method, Bodiless };

namespace build {

// Expressions.
void literal(const RuleMatch& m, NodeRef& result);
void primary(const RuleMatch& m, NodeRef& result);
void operatorName(const RuleMatch& m, NodeRef& result);
void binary(const RuleMatch& m, NodeRef& result);
void additive(const RuleMatch& m, NodeRef& result);
void multiplicative(const RuleMatch& m, NodeRef& result);
void bitwise(const RuleMatch& m, NodeRef& result);
void unary(const RuleMatch& m, NodeRef& result);
void conditional(const RuleMatch& m, NodeRef& result);
void cast(const RuleMatch& m, NodeRef& result);
void memberAccess(const RuleMatch& m, NodeRef& result);
void subscript(const RuleMatch& m, NodeRef& result);
void arrayType(const RuleMatch& m, NodeRef& result);
void genericType(const RuleMatch& m, NodeRef& result);
void call(const RuleMatch& m, NodeRef& result, bool withNew);
void newWithBody(const RuleMatch& m, NodeRef& result);
void list(const RuleMatch& m, NodeRef& result);
void shiftOperator(const RuleMatch& m, NodeRef& result);
void newArray(const RuleMatch& m, NodeRef& result);
void newArrayWithInitializer(const RuleMatch& m, NodeRef& result);
void braceInitializer(const RuleMatch& m, NodeRef& result);

// Statements.
void statement(const RuleMatch& m, NodeRef& result);
// The rules whose match, first in a statement, is the statement.
RuleSet standaloneStatementRules();
void statementBody(const RuleMatch& m, NodeRef& result);
void ifStatement(const RuleMatch& m, NodeRef& result);
void forStatement(const RuleMatch& m, NodeRef& result);
void forClause(const RuleMatch& m, NodeRef& result, uint32_t ruleId);
void forEach(const RuleMatch& m, NodeRef& result);
void forTo(const RuleMatch& m, NodeRef& result);
void whileStatement(const RuleMatch& m, NodeRef& result);
void doWhile(const RuleMatch& m, NodeRef& result);
void switchStatement(const RuleMatch& m, NodeRef& result);
void caseGroup(const RuleMatch& m, NodeRef& result);
void tryStatement(const RuleMatch& m, NodeRef& result);
void catchClause(const RuleMatch& m, NodeRef& result);
void returnOrThrow(const RuleMatch& m, NodeRef& result, uint32_t kind);
void synchronizedBlock(const RuleMatch& m, NodeRef& result);

// Declarations.
void typeDeclaration(const RuleMatch& m, NodeRef& result, TypeSort sort);
void method(const RuleMatch& m, NodeRef& result, MethodSort sort);
void operatorOverload(const RuleMatch& m, NodeRef& result, MethodSort sort);
void variableDeclaration(const RuleMatch& m, NodeRef& result);
void declaratorList(const RuleMatch& m, NodeRef& result, uint32_t ruleId, uint32_t kind);
void parameterList(const RuleMatch& m, NodeRef& result);
void baseClause(const RuleMatch& m, NodeRef& result);
void accessModifier(const RuleMatch& m, NodeRef& result);
void declareDirective(const RuleMatch& m, NodeRef& result);

// Member lists, annotations, native imports, using blocks, string lists.
void memberList(const RuleMatch& m, NodeRef& result, uint32_t ruleId);
void annotationList(const RuleMatch& m, NodeRef& result);
void annotation(const RuleMatch& m, NodeRef& result);
void annotationArguments(const RuleMatch& m, NodeRef& result);
void nativeImport(const RuleMatch& m, NodeRef& result);
void nativeFunctionList(const RuleMatch& m, NodeRef& result);
void nativeFunction(const RuleMatch& m, NodeRef& result);
void nativeParameterList(const RuleMatch& m, NodeRef& result);
void usingItem(const RuleMatch& m, NodeRef& result);
void dottedName(const RuleMatch& m, NodeRef& result);
void stringList(const RuleMatch& m, NodeRef& result);

// Annotation-derived flag bits of a declaration: NotNilptr, Native and the
// calling convention named in the Native annotation.
uint32_t annotationFlags(const qeAbstractNode& list, bool withNative);

}  // namespace build
