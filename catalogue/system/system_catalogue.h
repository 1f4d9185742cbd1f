// The runtime catalogue of files, system, threads and security: streams, files
// and ZIP, math, handlers, locks, timers, processes and cryptography.
#pragma once

#include <span>

#include "builtins/catalogue_class.h"

std::span<const CatalogueClass> systemCatalogue();
