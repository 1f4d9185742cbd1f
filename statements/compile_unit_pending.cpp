// Only the declaration phase's call exists yet, and it declares nothing; the
// compile walk, the queued classes and the entry code come with the
// compilers.
#include "statements/compile_unit.h"

#include "codegen/compile_context.h"

void compileUnit(CompileContext& context, const _KNode<qeAbstractNode>& root) {
    if (root) context.declareUntilStable(nullptr, root, _KNode<qeAbstractNode>());
}
