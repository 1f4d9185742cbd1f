#include "catalogue/text/text_catalogue.h"

namespace {

const CatalogueClass kClasses[] = {
#include "catalogue/text/strings.def"
#include "catalogue/text/json.def"
#include "catalogue/text/xml.def"
#include "catalogue/text/regex.def"
#include "catalogue/text/containers.def"
};

}  // namespace

std::span<const CatalogueClass> textCatalogue() { return kClasses; }
