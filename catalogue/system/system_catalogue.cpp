#include "catalogue/system/system_catalogue.h"

namespace {

const CatalogueClass kClasses[] = {
#include "catalogue/system/streams.def"
#include "catalogue/system/files.def"
#include "catalogue/system/math.def"
#include "catalogue/system/handlers.def"
#include "catalogue/system/locks.def"
#include "catalogue/system/timer.def"
#include "catalogue/system/process.def"
#include "catalogue/system/security.def"
};

}  // namespace

std::span<const CatalogueClass> systemCatalogue() { return kClasses; }
