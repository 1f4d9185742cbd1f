// The web-server main class of server-page projects, before the pages are
// registered in it.
#pragma once

#include "foundation/qestring.h"

// Where the registrations of the servlets go.
inline constexpr char kRegistryPlaceholder[] = "___REGISTRY_PAGES___();";

// The decoded template source.
qestl::qestringA webServerTemplate();
