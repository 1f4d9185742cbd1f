// Probe subcommand over the listing:
//   code FILE   the listing of a compiled image up to its first HEAP record:
//               the program's code without the catalogue's tables, so a
//               golden case about compiled statements stays small
#include <cstdio>
#include <string>
#include <string_view>

#include "image/listing.h"
#include "probe.h"

namespace {

int codeCommand(int argc, char** argv) {
    if (argc != 1) return 2;
    std::string image;
    if (!probe::readInput(argv[0], image)) {
        std::printf("can't open file: %s\n", argv[0]);
        return 1;
    }
    qestl::qestringA listing;
    const bool whole = disassemble(reinterpret_cast<const uint8_t*>(image.data()), image.size(), listing);
    const std::string_view text = listing.view();
    size_t end = text.find(" : HEAP");
    if (end != std::string_view::npos) end = text.rfind('\n', end);
    const std::string_view code = text.substr(0, end == std::string_view::npos ? text.size() : end);
    std::fwrite(code.data(), 1, code.size(), stdout);
    std::printf("\n");
    return whole ? 0 : 1;
}

}  // namespace

KORVO_PROBE("code", "FILE", codeCommand);
