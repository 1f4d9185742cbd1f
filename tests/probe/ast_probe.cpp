// korvo-probe ast FILE|-: parses a korvo text and prints its syntax tree.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "probe.h"
#include "ast_parse.h"
#include "ast_print.h"

namespace {

int astCommand(int argc, char** argv) {
    if (argc != 1) {
        std::fputs("usage: korvo-probe ast FILE|-\n", stderr);
        return 2;
    }
    std::string text;
    if (std::string(argv[0]) == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        std::ifstream in(argv[0], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "cannot read %s\n", argv[0]);
            return 2;
        }
        text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    ast_parse::TreeParser parser;
    _KNode<qeAbstractNode> unit;
    if (!parser.parse(text, unit)) {
        for (const std::string& error : parser.errors) std::printf("error %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", ast_print::toText(unit.get()).c_str());
    return 0;
}

}  // namespace

KORVO_PROBE("ast", "ast FILE|-   print the syntax tree of a korvo text", astCommand);
