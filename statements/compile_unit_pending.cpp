// Neither the declaration pass nor the compilers exist yet: the pass accepts
// every tree and emits nothing.
#include "statements/compile_unit.h"

void compileUnit(CompileContext&, const _KNode<qeAbstractNode>&) {}
