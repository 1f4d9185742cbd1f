// The declaration pass does not exist yet: there is nothing to declare, so
// the first cycle is already stable.
#include "codegen/compile_context.h"

void CompileContext::declareUntilStable(IRObject*, const _KNode<qeAbstractNode>&, const _KNode<qeAbstractNode>&) {}
