// The runtime-library catalogue as the registry takes it: the three families
// (text and collections, files and system, network and web).
#pragma once

#include <span>

#include "builtins/catalogue_class.h"

std::span<const std::span<const CatalogueClass>> builtinCatalogue();
