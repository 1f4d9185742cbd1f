// Native sources need the units the declaration pass builds from the import
// table; until that pass exists there is nothing to write.
#include "executable/executable_builder.h"

bool writeNativeSources(CompileContext&, const qestl::qestringA&) { return false; }
