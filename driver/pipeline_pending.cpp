// The compile stages do not exist yet: every compile mode fails quietly.
#include "driver/pipeline.h"

bool compileAndWrite(CompileOptions&) { return false; }
bool buildStaticLibraryAndWrite(CompileOptions&) { return false; }
bool compileExecutable(CompileOptions&) { return false; }
