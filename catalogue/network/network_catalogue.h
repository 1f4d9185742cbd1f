// The runtime catalogue of network and web: asynchronous streams, sockets,
// Unsi, the HTTP client and server, servlets, web sites and web sockets.
#pragma once

#include <span>

#include "builtins/catalogue_class.h"

std::span<const CatalogueClass> networkCatalogue();
