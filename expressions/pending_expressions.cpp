// Stand-ins for the expression compilers that are still to come: each
// compiles nothing and leaves no candidate, so a statement that needs its
// value sees none. Replace an entry here when its compiler lands.
#include "codegen/compile_context.h"
#include "statements/compile_walk.h"

uint32_t compileTemplateDeclaration(CompileContext&, const StatementNode&) { return 0; }

// Until template method calls land: a call of a template method compiles
// nothing.
bool compileTemplateMethodCall(CompileContext&, const StatementNode&, model::IRValueList&, IRValueListArray&) {
    return false;
}
