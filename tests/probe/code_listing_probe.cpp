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

// The listing of FILE's image; 1 when the file cannot be read.
int listImage(const char* path, qestl::qestringA& listing, bool& whole) {
    std::string image;
    if (!probe::readInput(path, image)) {
        std::printf("can't open file: %s\n", path);
        return 1;
    }
    whole = disassemble(reinterpret_cast<const uint8_t*>(image.data()), image.size(), listing);
    return 0;
}

void printPart(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::printf("\n");
}

int codeCommand(int argc, char** argv) {
    if (argc != 1) return 2;
    qestl::qestringA listing;
    bool whole = false;
    if (listImage(argv[0], listing, whole) != 0) return 1;
    const std::string_view text = listing.view();
    size_t end = text.find(" : HEAP");
    if (end != std::string_view::npos) end = text.rfind('\n', end);
    printPart(text.substr(0, end == std::string_view::npos ? text.size() : end));
    return whole ? 0 : 1;
}

int tablesCommand(int argc, char** argv) {
    if (argc != 1) return 2;
    qestl::qestringA listing;
    bool whole = false;
    if (listImage(argv[0], listing, whole) != 0) return 1;
    const std::string_view text = listing.view();
    size_t start = text.find(" : Relocation Table\n");
    const size_t end = text.find(" : SYMBOLTABLE");
    if (start == std::string_view::npos || end == std::string_view::npos || end < start) return 1;
    start = text.rfind('\n', start) + 1;
    printPart(text.substr(start, text.rfind('\n', end) - start));
    return whole ? 0 : 1;
}

}  // namespace

KORVO_PROBE("code", "FILE", codeCommand);
KORVO_PROBE("tables", "FILE", tablesCommand);
