// Until the compile context registers classes itself, a compilation starts
// without built-ins.
#include "builtins/builtin_registry.h"

void registerBuiltinClasses(CompileContext&) {}
