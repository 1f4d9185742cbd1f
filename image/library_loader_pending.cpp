#include "image/library_loader_pending.h"

bool loadLinkLibraryFile(CompileContext&, uint32_t, const qestl::qestringW&) { return true; }
bool loadPackageFile(CompileContext&, uint32_t, const qestl::qestringW&) { return true; }
