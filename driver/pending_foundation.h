// Stand-ins for foundation and platform services that are still being built
// on other branches; each is replaced by the real one when it lands.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/vector.h"

namespace pending {

qestl::qestringW modulePath();
qestl::qestringW currentDirectory();
bool pathExists(const qestl::qestringW& path);
void appendPath(qestl::qestringW& path, const char16_t* part);
void normaliseWidePath(qestl::qestringW& path);

// Reads a whole file of fewer than `limit` bytes. False when it cannot be
// opened; `tooLarge` is set when it holds `limit` bytes or more.
bool readFileBelow(const qestl::qestringW& path, uint64_t limit, qestl::ByteVector& bytes, bool* tooLarge);

}  // namespace pending
