// What the three declaration compilers (variables, enum items, `new T[]
// {...}`) share: the declared type of a type node, the value chosen among an
// initialiser's candidates, and the texts of their refusals.
#pragma once

#include "codegen/compile_context.h"
#include "statements/compile_walk.h"

namespace declarations {

// The one type a type node denotes, or empty after reporting why there is
// none: UnknownTypeListed at the type node when nothing was found, else at
// `at` UnknownType, TypeUndetermined with the classes found, or VoidType.
qestl::SmartPtr resolveDeclaredType(CompileContext& context, const StatementNode& typeNode, const StatementNode& at);

// The type of the value a candidate holds; null for one that holds none (a
// type, a package).
model::IRObject* valueTypeOf(const model::IRResult& candidate);

// Compiles an initialiser and takes its candidates out of the context; false
// after an error, or after NoInitialValue when it left none.
bool compileInitialiser(CompileContext& context, const StatementNode& initialiser, model::IRValueList& found);

// Warning 298 for a declared name that names a type or a package.
void warnTypeName(CompileContext& context, const StatementNode& declarator);

// Keeps the candidates whose value may be stored into `type`.
void keepAssignable(CompileContext& context, model::IRValueList& candidates, const qestl::SmartPtr& type);

// The first candidate, in lookup order, whose value may be stored into
// `type` (the innermost name: a local before a field or a global); null
// when none.
model::IRResult* firstAssignable(CompileContext& context, model::IRValueList& candidates, const qestl::SmartPtr& type);

// Reports a value that does not fit its target (CannotAssignTypes or
// ConstantValueNeeded): the target type and the source candidates.
void reportMismatch(CompileContext& context, const Diagnostic& entry, model::IRObject* target,
                    const model::IRValueList& candidates, const StatementNode& at);

// Declares a declarator's object in the current scope; the storage operand
// (kind 33 for a name taken). A member the declaration pass entered in its
// class keeps its place: entering it again would find it as its own
// duplicate.
model::Operand declareStorage(CompileContext& context, const qestl::SmartPtr& object, bool isStatic,
                              bool madeBefore);

// The move that gives a declared object its first value; its destination
// stays the object even when the object is a constant.
void emitStore(CompileContext& context, uint32_t opcode, const model::Operand& target, const model::Operand& value,
               const StatementNode& node);

}  // namespace declarations
