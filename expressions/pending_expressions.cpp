// Stand-ins for the expression compilers that are still to come: each
// compiles nothing and leaves no candidate, so a statement that needs its
// value sees none. Replace an entry here when its compiler lands.
#include "codegen/compile_context.h"
#include "statements/compile_walk.h"

uint32_t compileTemplateDeclaration(CompileContext&, const StatementNode&) { return 0; }

// Until the call binder lands: no call binds.
bool resolveAndCompileCall(CompileContext&, const model::IRResult*, model::IRValueList&, IRValueListArray&, bool,
                           const StatementNode&, qestl::qestringA&) {
    return false;
}
bool compileCallToCandidates(CompileContext&, model::IRValueList&, IRValueListArray&, const StatementNode&) {
    return false;
}
