// Recognition speed of the grammar over generated programs of about 10k and
// 100k lines: classes with fields, methods, loops, conditions and
// expressions. Reports lines per second and the peak resident size per line.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "syntax/recognizer.h"

namespace {

// About 40 lines per class.
std::string generateProgram(int lines) {
    std::string text = "include(\"base.k\")\nusing { korvo.lang; };\n\n";
    int classes = lines / 40 + 1;
    char buffer[256];
    for (int c = 0; c < classes; ++c) {
        std::snprintf(buffer, sizeof buffer, "class Worker%d : public Base {\n", c);
        text += buffer;
        text += "    private int count = 0;\n    String name;\n    int[] values = new int[16];\n\n";
        text += "    Worker(String name) { this.name = name; }\n\n";
        for (int m = 0; m < 2; ++m) {
            std::snprintf(buffer, sizeof buffer, "    int step%d(int limit, List<String> items) throws Exception {\n", m);
            text += buffer;
            text += "        int total = 0, i;\n"
                    "        for (i = 0; i < limit; i++) {\n"
                    "            total += values[i % 16] * 2 + (limit - i) / 3;\n"
                    "            if (total > 1000 && !done(i)) { total = total >> 1; } else total++;\n"
                    "        }\n"
                    "        for (String s : items) { count = count + s.length(); }\n"
                    "        while (total > 0) { total -= step(total, name); }\n"
                    "        switch (total) { case 0: break; default: total = -1; }\n"
                    "        try { risky(this.name); } catch (Exception e) { throw e; }\n"
                    "        return total == 0 ? count : (int) total;\n"
                    "    }\n\n";
        }
        text += "    static int main(String[] args) { return new Worker(\"a\").step0(3, null); }\n};\n\n";
    }
    return text;
}

int countLines(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n';
    return lines;
}

void recognise(benchmark::State& state) {
    std::string text = generateProgram(static_cast<int>(state.range(0)));
    int lines = countLines(text);
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
}

}  // namespace

BENCHMARK(recognise)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
