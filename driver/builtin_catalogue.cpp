#include "driver/builtin_catalogue.h"

#include "catalogue/network/network_catalogue.h"
#include "catalogue/system/system_catalogue.h"
#include "catalogue/text/text_catalogue.h"

std::span<const std::span<const CatalogueClass>> builtinCatalogue() {
    static const std::span<const CatalogueClass> families[] = {textCatalogue(), systemCatalogue(), networkCatalogue()};
    return families;
}
