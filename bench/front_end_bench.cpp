// The whole front end over a generated program of about 10k and 100k lines:
// the file read, scanned and parsed by the source processor with the syntax
// tree built, as a compile does it. Reports lines per second, the peak
// resident size of the process per line, and how much the peak grew during
// the runs per line (the tree and the parser's own memory).
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "bench/generated_program.h"
#include "foundation/qestring.h"
#include "source/source_processor.h"
#include "source/source_project.h"

namespace {

long peakResidentBytes() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss * 1024L;
}

// The generated program without its include line: the file it names is not
// there, and a missing file ends the parse.
std::string writeProgram(int lines) {
    std::string text = benchprogram::generateProgram(lines);
    text.erase(0, text.find('\n') + 1);
    std::string path = "/tmp/korvo-front-end-bench-" + std::to_string(getpid()) + "-" + std::to_string(lines) + ".k";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return std::string();
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
    return path;
}

void parseWithTree(benchmark::State& state) {
    int requested = static_cast<int>(state.range(0));
    std::string path = writeProgram(requested);
    if (path.empty()) {
        state.SkipWithError("cannot write the program");
        return;
    }
    int lines = benchprogram::countLines(benchprogram::generateProgram(requested)) - 1;
    qestl::qestringW widePath = qestl::widen(qestl::qestringA(path.c_str()));
    long peakBefore = peakResidentBytes();
    for (auto _ : state) {
        SourceProject project;
        qeSourceProcessor processor;
        _KNode<qeAbstractNode> unit;
        int result = processor.parseSourceFile(project, widePath, unit);
        if (result != kParsed || !unit) {
            state.SkipWithError("the generated program was refused");
            break;
        }
        benchmark::DoNotOptimize(unit.get());
    }
    std::remove(path.c_str());
    long peakAfter = peakResidentBytes();
    state.counters["lines"] = lines;
    state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    state.counters["peak_bytes/line"] = static_cast<double>(peakAfter) / lines;
    state.counters["growth_bytes/line"] = static_cast<double>(peakAfter - peakBefore) / lines;
}

}  // namespace

BENCHMARK(parseWithTree)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
