// korvo-probe ast FILE|-: parses a korvo file (or standard input) as the
// compiler parses a project of one source and prints its syntax tree; a
// failed parse prints the compiler's messages and ends with status 1.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "ast_parse.h"
#include "ast_print.h"
#include "probe.h"

namespace {

int astCommand(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: korvo-probe ast FILE|-\n", stderr);
        return 2;
    }
    _KNode<qeAbstractNode> unit;
    if (!ast_parse::parseFileOrInput(argv[0], unit)) {
        std::fputs("cannot read standard input\n", stderr);
        return 2;
    }
    if (!unit) return 1;
    std::printf("%s\n", ast_print::toText(unit.get()).c_str());
    return 0;
}

}  // namespace

KORVO_PROBE("ast", "FILE|-", astCommand);
