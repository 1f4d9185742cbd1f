// No native sources or executables can be built yet.
#include "executable/executable_builder.h"

bool writeNativeSources(CompileContext&, const qestl::qestringA&) { return false; }

bool buildExecutable(const qestl::qestringA&, const uint8_t*, uint32_t, const qestl::qestringW&, CompileOptions&,
                     bool) {
    return false;
}
