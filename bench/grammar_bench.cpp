// Recognition speed of the grammar over generated programs of about 10k and
// 100k lines: classes with fields, methods, loops, conditions and
// expressions. Reports lines per second and the peak resident size per line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <string>

#include "bench/generated_program.h"
#include "syntax/recognizer.h"

namespace {

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
    // How the rule attempts of one parse ended, per line.
    if (state.iterations() > 0) {
        const qeLexSyntax::AttemptCounts& counts = recognizer.attemptCounts();
        double perLine = 1.0 / (static_cast<double>(lines) * static_cast<double>(state.iterations()));
        state.counters["attempts/line"] = static_cast<double>(counts.attempts) * perLine;
        state.counters["walks/line"] = static_cast<double>(counts.walks) * perLine;
        state.counters["failed_walks/line"] = static_cast<double>(counts.failedWalks) * perLine;
    }
}

}  // namespace

BENCHMARK(recognise)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
