// The korvo grammar as the compiler runs it: loaded from the table the build
// wrote from the rule tables, so no start translates the notation.
#include <cstdio>
#include <cstdlib>

#include "syntax/rules.h"

#include "korvo_grammar_table.inc"

namespace {

Grammar* loadGrammar() {
    static Grammar grammar;
    if (!grammar.load(kKorvoGrammarTable)) {
        std::fprintf(stderr, "korvo grammar table: %s\n", grammar.error().c_str());
        std::abort();
    }
    return &grammar;
}

}  // namespace

const Grammar& korvoGrammar() {
    static const Grammar* grammar = loadGrammar();
    return *grammar;
}
