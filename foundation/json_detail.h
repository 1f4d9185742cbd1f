// Shared by the JSON parser, printer and builders; not for other callers.
#pragma once

#include "foundation/json.h"

// A zeroed node with a zeroed value of the given kind, both with count 1.
JsonNode* jsonNewNode(int32_t kind);
