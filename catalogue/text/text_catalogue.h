// The runtime catalogue of text and collections: String, StringBuffer, the JSON,
// XML and regular-expression classes and the container templates.
#pragma once

#include <span>

#include "builtins/catalogue_class.h"

std::span<const CatalogueClass> textCatalogue();
