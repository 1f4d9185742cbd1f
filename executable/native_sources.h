// -gs: one C++ source per native library module, holding the declarations
// the declaration pass wrote for the module's functions.
#pragma once

#include <cstddef>
#include <string_view>

#include "foundation/qestring.h"

struct NativeSourceUnit {
    std::string_view moduleFile;  // may be empty
    std::string_view text;
};

// The module file's last component with its extension replaced by ".cpp";
// a unit without a file is named by its index, which stays the same from
// run to run.
qestl::qestringA nativeSourceFileName(const NativeSourceUnit& unit, size_t index);

// Writes each unit into the directory, reporting each file; a file that
// cannot be made does not stop the others. False when any failed.
bool writeNativeSourceUnits(const NativeSourceUnit* units, size_t count, const qestl::qestringA& directory);
