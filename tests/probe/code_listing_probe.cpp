// Probe subcommands over the listing:
//   code FILE    the listing of a compiled image up to its first HEAP record:
//                the program's code without the catalogue's tables, so a
//                golden case about compiled statements stays small
//   tables FILE  the relocation and import-module tables of the listing:
//                the names a program links against and the run-time
//                modules of the libraries it loaded
#include <cstdio>
#include <string>
#include <string_view>

#include "image/listing.h"
#include "probe.h"

namespace {

// Lists FILE's image and prints the part of the listing that `part` picks
// (nothing picked: status 1).
template <typename Part>
int printListingPart(int argc, char** argv, Part part) {
    if (argc != 1) return 2;
    std::string image;
    if (!probe::readInput(argv[0], image)) {
        std::printf("can't open file: %s\n", argv[0]);
        return 1;
    }
    qestl::qeByteStream listing;
    const bool whole = disassemble(reinterpret_cast<const uint8_t*>(image.data()), image.size(), listing);
    const auto* text = listing.size() != 0 ? reinterpret_cast<const char*>(listing.data()) : "";
    const std::string_view shown = part(std::string_view(text, static_cast<size_t>(listing.size())));
    if (shown.data() == nullptr) return 1;
    std::fwrite(shown.data(), 1, shown.size(), stdout);
    std::printf("\n");
    return whole ? 0 : 1;
}

int codeCommand(int argc, char** argv) {
    return printListingPart(argc, argv, [](std::string_view text) {
        size_t end = text.find(" : HEAP");
        if (end != std::string_view::npos) end = text.rfind('\n', end);
        return text.substr(0, end == std::string_view::npos ? text.size() : end);
    });
}

int tablesCommand(int argc, char** argv) {
    return printListingPart(argc, argv, [](std::string_view text) {
        size_t start = text.find(" : Relocation Table\n");
        const size_t end = text.find(" : SYMBOLTABLE");
        if (start == std::string_view::npos || end == std::string_view::npos || end < start) return std::string_view();
        start = text.rfind('\n', start) + 1;
        return text.substr(start, text.rfind('\n', end) - start);
    });
}

}  // namespace

KORVO_PROBE("code", "FILE", codeCommand);
KORVO_PROBE("tables", "FILE", tablesCommand);
