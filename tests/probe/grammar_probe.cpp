// korvo-probe check FILE|-: "ok" when the text is one whole compilation unit,
//   else "fail" and one line per problem: 1-based line:column, then the hint
//   code and its message (as the source processor would choose them).
// korvo-probe rules FILE|-: every rule match in the order the engine reports
//   it: rule id, rule name, window start, record count, 1-based line:column of
//   the first record and the text the match covers; then ok or fail.
#include <cstdio>
#include <cstring>
#include <string>

#include "probe.h"
#include "syntax/recognizer.h"
#include "syntax/rules.h"

namespace {

std::string oneLine(const char* text, size_t length) {
    std::string out;
    bool blank = false;
    for (size_t i = 0; i < length; ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= 0x20) {
            blank = true;
            continue;
        }
        if (blank && !out.empty()) out += ' ';
        blank = false;
        out += static_cast<char>(c);
    }
    if (out.size() > 72) out = out.substr(0, 69) + "...";
    return out;
}

void printProblems(const GrammarRecognizer& recognizer) {
    std::printf("fail\n");
    for (const GrammarRecognizer::Problem& problem : recognizer.problems()) {
        std::printf("%u:%u ", problem.line + 1, problem.column + 1);
        switch (problem.kind) {
        case GrammarRecognizer::ProblemKind::BadCharacter: std::printf("bad character\n"); break;
        case GrammarRecognizer::ProblemKind::Overflow: std::printf("lookahead overflow\n"); break;
        case GrammarRecognizer::ProblemKind::NoExpectedSymbol: std::printf("no expected symbol\n"); break;
        case GrammarRecognizer::ProblemKind::Hint:
            std::printf("hint %d %s\n", problem.hint, syntaxHintText(problem.hint));
            break;
        }
    }
}

class MatchPrinter : public GrammarRecognizer::MatchObserver {
public:
    explicit MatchPrinter(const std::string& text) : text_(text) {}

    void onMatch(const qeLexSyntax& engine, int start, int count, uint32_t ruleId) override {
        const TokenRecord* first = engine.slot(start);
        const TokenRecord* last = count > 0 ? engine.slot(start + count - 1) : first;
        std::string covered;
        if (first && last && count > 0) {
            size_t from = first->startOffset;
            size_t to = static_cast<size_t>(last->startOffset) + last->length;
            if (from <= to && to <= text_.size()) covered = oneLine(text_.data() + from, to - from);
        }
        std::printf("%u %s %d %d %u:%u %s\n", ruleId, korvoGrammar().ruleName(ruleId), start, count,
                    first ? first->startLine + 1 : 0, first ? first->startColumn + 1 : 0, covered.c_str());
    }
    void onRecordFreed(const TokenRecord*) override {}

private:
    const std::string& text_;
};

int run(int argc, char** argv, bool printRules) {
    if (argc != 1) {
        std::fprintf(stderr, "usage: korvo-probe %s FILE|-\n", printRules ? "rules" : "check");
        return 2;
    }
    std::string text;
    if (!probe::readInput(argv[0], text)) {
        std::fprintf(stderr, "cannot read %s\n", argv[0]);
        return 1;
    }
    GrammarRecognizer recognizer;
    MatchPrinter printer(text);
    if (printRules) {
        // The exact engine's own order; the fast path's speculative run would
        // print its matches before any second run.
        recognizer.setFastPath(false);
        recognizer.setObserver(&printer);
    }
    if (recognizer.recognize(text.data(), text.size())) {
        std::printf("ok\n");
        return 0;
    }
    printProblems(recognizer);
    return 1;
}

int checkCommand(int argc, char** argv) { return run(argc, argv, false); }
int rulesCommand(int argc, char** argv) { return run(argc, argv, true); }

}  // namespace

KORVO_PROBE("check", "FILE|-", checkCommand);
KORVO_PROBE("rules", "FILE|-", rulesCommand);
