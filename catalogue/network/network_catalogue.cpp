#include "catalogue/network/network_catalogue.h"

namespace {

const CatalogueClass kClasses[] = {
#include "catalogue/network/async.def"
#include "catalogue/network/sockets.def"
#include "catalogue/network/datagrams.def"
#include "catalogue/network/unsi.def"
#include "catalogue/network/event_handler.def"
#include "catalogue/network/http_client.def"
#include "catalogue/network/server.def"
#include "catalogue/network/servlets.def"
#include "catalogue/network/requests.def"
#include "catalogue/network/responses.def"
#include "catalogue/network/website.def"
#include "catalogue/network/websocket.def"
};

}  // namespace

std::span<const CatalogueClass> networkCatalogue() { return kClasses; }
