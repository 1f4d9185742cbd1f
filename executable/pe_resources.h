// The optional resources of a Windows executable: manifest, icons and the
// version block.
#pragma once

#include <cstdint>

#include "foundation/json.h"
#include "foundation/qestring.h"
#include "foundation/vector.h"

class PeResourceEditor;

// The manifest for elevation level 1 (-uac-admin) or 2 (-uac-highest);
// false (nothing added) for any other level.
bool buildManifestResource(PeResourceEditor& editor, uint32_t level);

// The icon group and every image of the icon file; false when the file is
// missing, cut short or cannot be added.
bool addIconResources(PeResourceEditor& editor, const qestl::qestringW& iconPath);

// The VS_VERSIONINFO block for the .version document.
qestl::ByteVector buildVersionResource(const JsonNode* document);

// Up to four dot-separated numbers of a version text, each with an optional
// sign, octal after a leading '0', read up to the first non-digit.
int parseVersionNumbers(const char* text, uint16_t numbers[4]);
