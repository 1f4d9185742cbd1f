// Recognition speed of the grammar over generated programs of about 10k and
// 100k lines: classes with fields, methods, loops, conditions and
// expressions. Reports lines per second and the peak resident size per line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "bench/generated_program.h"
#include "syntax/recognizer.h"
#include "syntax/rule_ids.h"
#include "syntax/rules.h"

namespace {

// A listener that keeps what the recogniser keeps and builds nothing.
class CountingListener : public qeLexSyntax::OnParseListener {
public:
    _KNode<qeAbstractNode>* onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax&, int, int, uint32_t) override {
        return out;
    }
    void onBadCharacter(SourceInput*) override {}
    bool filterToken(SourceInput*, int32_t, TokenCode kind, char**) override {
        return kind != TokenKind::Whitespace && kind != TokenKind::Comment;
    }
    TokenRecord* newTokenRecord() override { return new TokenRecord(); }
    void freeTokenRecord(TokenRecord* record) override { delete record; }
    void onParseFailed(SourceInput*) override {}
    void onLookaheadOverflow(SourceInput*) override {}
};

// How the rule attempts of one parse of the text ended, per line.
void countAttempts(benchmark::State& state, const std::string& text, int lines) {
    CountingListener listener;
    qeLexSyntax engine;
    SourceInput input;
    input.setText(text.data(), text.size());
    engine.setEndOfInputHint(SyntaxHint::None);
    engine.attach(&input, &listener, &korvoGrammar());
    uint32_t changed = 0;
    engine.parseRule(RuleId::Entry, 0, changed);
    engine.reset();
    const qeLexSyntax::AttemptCounts& counts = engine.attemptCounts();
    double perLine = 1.0 / lines;
    state.counters["attempts/line"] = static_cast<double>(counts.attempts) * perLine;
    state.counters["walks/line"] = static_cast<double>(counts.walks) * perLine;
    state.counters["failed_walks/line"] = static_cast<double>(counts.failedWalks) * perLine;
}

void recognise(benchmark::State& state) {
    std::string text = benchprogram::generateProgram(static_cast<int>(state.range(0)));
    int lines = benchprogram::countLines(text);
    GrammarRecognizer recognizer;
    for (auto _ : state) {
        bool whole = recognizer.recognize(text.data(), text.size());
        if (!whole) {
            state.SkipWithError("the generated program was refused");
            break;
        }
        benchmark::DoNotOptimize(whole);
    }
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["lines"] = lines;
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    // Peak resident size of the whole process (text included) per line.
    state.counters["peak_bytes/line"] = static_cast<double>(usage.ru_maxrss) * 1024.0 / lines;
    state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
    countAttempts(state, text, lines);
}

}  // namespace

BENCHMARK(recognise)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
