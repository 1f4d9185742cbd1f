// korvo_grammar_tool OUT: builds the korvo grammar from its rule tables and
// writes the table the compiler loads at start (see syntax/korvo_grammar.cpp).
// The file is replaced only when its text changes, so a rebuild that leaves
// the rules alone recompiles nothing.
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "syntax/rules.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvo_grammar_tool OUT\n");
        return 1;
    }
    const auto grammar = std::make_unique<Grammar>();
    std::string text = "#include \"syntax/grammar.h\"\n\n";
    if (!buildKorvoGrammar(*grammar)) {
        std::fprintf(stderr, "korvo grammar tables: %s\n", grammar->error().c_str());
        return 1;
    }
    if (!grammar->writeTable(text, "kKorvoGrammarTable")) {
        std::fprintf(stderr, "korvo grammar tables: a rule has no table form\n");
        return 1;
    }
    std::ifstream old(argv[1], std::ios::binary);
    std::stringstream current;
    current << old.rdbuf();
    if (old && current.str() == text) return 0;
    old.close();
    std::string temporary = std::string(argv[1]) + ".part";
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out || std::rename(temporary.c_str(), argv[1]) != 0) {
        std::fprintf(stderr, "korvo_grammar_tool: cannot write %s\n", argv[1]);
        std::remove(temporary.c_str());
        return 1;
    }
    return 0;
}
