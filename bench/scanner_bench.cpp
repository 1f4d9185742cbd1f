// Scanning speed over a generated source of 100k lines.
#include <benchmark/benchmark.h>

#include <string>

#include "syntax/scanner.h"
#include "syntax/source_input.h"

namespace {

const std::string& generatedSource() {
    static const std::string text = [] {
        std::string out;
        const char* lines[] = {
            "class Account : public Base<Ledger> {\n",
            "    /** the balance in cents */ long balance = 0x7fffL;\n",
            "    void deposit(int amount, double rate) { balance += amount * 1.5e-3f; }\n",
            "    // keeps the shift honest\n",
            "    int shifted(int v) { return v >> 2 <= 10 ? v << 1 : \"text \\\" quoted\".length; }\n",
            "};\n",
        };
        for (int i = 0; i < 100000; ++i) out += lines[i % 6];
        return out;
    }();
    return text;
}

void scanGeneratedSource(benchmark::State& state) {
    const std::string& text = generatedSource();
    int64_t tokens = 0;
    for (auto _ : state) {
        SourceInput input;
        input.setText(text.data(), text.size());
        int64_t count = 0;
        for (;;) {
            TokenCode kind = 0;
            int32_t length = scanner::scanTokenAt(input.text, input.length, input.offset, &kind);
            if (length <= 0) break;
            input.advance(length);
            ++count;
        }
        benchmark::DoNotOptimize(count);
        tokens += count;
    }
    state.counters["tokens/s"] = benchmark::Counter(static_cast<double>(tokens), benchmark::Counter::kIsRate);
    state.counters["lines/s"] = benchmark::Counter(100000.0 * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
    state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}

}  // namespace

BENCHMARK(scanGeneratedSource)->Unit(benchmark::kMillisecond);
