// Link libraries and packages are found and named, but their readers do not
// exist yet: loading one adds nothing to the compile context and succeeds.
#include "image/library_loader_pending.h"

bool loadLinkLibraryFile(CompileContext&, uint32_t, const qestl::qestringW&) { return true; }
bool loadPackageFile(CompileContext&, uint32_t, const qestl::qestringW&) { return true; }
