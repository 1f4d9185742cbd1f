// Declarations met again by the compile pass: native imports and native
// member functions (declared by the declaration pass unless it stopped on an
// error, which is reported now, at once), and type references written as
// statements.
#include "codegen/compile_context.h"
#include "declare/declaration_entries.h"
#include "statements/compile_walk.h"

uint32_t compileNativeImportStatement(CompileContext& context, const StatementNode& node) {
    compileNativeImportDeclaration(context, node, qestl::SmartPtr(), false, false);
    return 0;
}

uint32_t compileDynamicImportStatement(CompileContext& context, const StatementNode& node) {
    compileNativeImportDeclaration(context, node, qestl::SmartPtr(), false, true);
    return 0;
}

uint32_t compileNativeFunctionStatement(CompileContext& context, const StatementNode& node) {
    compileNativeDeclaration(context, node, qestl::SmartPtr(), false);
    return 0;
}

uint32_t compileTypeReferenceStatement(CompileContext& context, const StatementNode& node) {
    resolveTypeReference(context, node);
    return 0;
}
