// The JSON side files a compilation takes (.version, .kdef, the language
// description): read whole and parsed, or one warning line.
#pragma once

#include "foundation/json.h"
#include "foundation/qestring.h"

// Reads and parses `path` into `document` (replacing the one held). On
// failure one line goes to standard output: the warning text, the path as
// `shown`, "\n".
bool readJsonSideFile(const qestl::qestringW& path, const qestl::qestringW& shown, cbjson& document,
                      const char* unreadable, const char* invalid);
