// Declarations met again by the compile pass: native imports and native
// member functions (declared by the declaration pass unless it stopped on an
// error, which is reported now, at once), and type references written as
// statements.
#include "codegen/compile_context.h"
#include "declare/declaration_entries.h"
#include "statements/compile_walk.h"

// The import block of a native library (a NativeImport node).
uint32_t compileNativeImportStatement(CompileContext& context, const StatementNode& node) {
    compileNativeImportDeclaration(context, node, qestl::SmartPtr(), false, false);
    return 0;
}

// The dynamic import table in a class (a DynamicNativeImport node).
uint32_t compileDynamicImportStatement(CompileContext& context, const StatementNode& node) {
    compileNativeImportDeclaration(context, node, qestl::SmartPtr(), false, true);
    return 0;
}

// The native member function `int stdcall f(int a);` (a NativeFunction node).
uint32_t compileNativeFunctionStatement(CompileContext& context, const StatementNode& node) {
    compileNativeDeclaration(context, node, qestl::SmartPtr(), false);
    return 0;
}

// The template type `T<A, B>` written as a statement (a GenericType node).
uint32_t compileTypeReferenceStatement(CompileContext& context, const StatementNode& node) {
    resolveTypeReference(context, node);
    return 0;
}
