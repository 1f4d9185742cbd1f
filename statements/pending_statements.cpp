// Stand-ins for the statement forms that are still to come: each compiles
// nothing of its own. The walk still reaches a construct's children, so
// the statements nested in them are compiled. Replace an entry here when
// its compiler lands.
#include "codegen/compile_context.h"
#include "codegen/candidate_pickers.h"
#include "codegen/suggestions.h"
#include "foundation/diagnostics.h"
#include "model/opcodes.h"
#include "statements/compile_walk.h"


// This branch's own, still to be written.
uint32_t compileCall(CompileContext&, const StatementNode&) { return 0; }

// Until the statement compiler's conditions land: no operator overloads,
// no short-circuit operators, and conditions that are comparisons only.
bool findOperatorOverload(CompileContext&, model::IRValueList&, IRValueListArray&, const StatementNode&) {
    return false;
}

