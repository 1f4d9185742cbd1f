// korvo-probe ast FILE|-: parses a korvo file (or standard input) as the
// compiler parses a project of one source and prints its syntax tree; a
// failed parse prints the compiler's messages and ends with status 1.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ast_parse.h"
#include "ast_print.h"
#include "probe.h"

namespace {

// Standard input goes through a temporary file, since the processor reads files.
bool copyStandardInput(std::string& path) {
    char name[] = "/tmp/korvo-ast-XXXXXX.k";
    int fd = mkstemps(name, 2);
    if (fd < 0) return false;
    path = name;
    char buffer[65536];
    size_t got;
    bool ok = true;
    while ((got = std::fread(buffer, 1, sizeof buffer, stdin)) > 0) {
        if (write(fd, buffer, got) != static_cast<ssize_t>(got)) ok = false;
    }
    close(fd);
    return ok;
}

int astCommand(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: korvo-probe ast FILE|-\n", stderr);
        return 2;
    }
    std::string path = argv[0];
    const bool fromInput = path == "-";
    if (fromInput && !copyStandardInput(path)) {
        std::fputs("cannot read standard input\n", stderr);
        return 2;
    }
    std::vector<_KNode<qeAbstractNode>> units;
    const bool parsed = ast_parse::parseFiles({path}, units);
    if (fromInput) unlink(path.c_str());
    std::fflush(stdout);
    if (!parsed || units.empty()) return 1;
    std::printf("%s\n", ast_print::toText(units[0].get()).c_str());
    return 0;
}

}  // namespace

KORVO_PROBE("ast", "FILE|-", astCommand);
