// The built-in catalogue does not exist yet: nothing is declared.
#include "builtins/builtin_registry.h"

void registerBuiltinClasses(CompileContext&) {}
