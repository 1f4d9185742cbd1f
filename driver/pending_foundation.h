// Stand-ins for the path helpers still being built on another branch;
// replaced by the real ones when they land.
#pragma once

#include "foundation/qestring.h"

namespace pending {

void appendPath(qestl::qestringW& path, const char16_t* part);
void normaliseWidePath(qestl::qestringW& path);

}  // namespace pending
