// One run of the built-in registry on a fresh compile context: every
// compilation pays it before the first source is read.
#include <benchmark/benchmark.h>

#include "builtins/builtin_registry.h"
#include "codegen/compile_context.h"
#include "driver/builtin_catalogue.h"
#include "model/builtin_types.h"

namespace {

void registerBuiltins(benchmark::State& state) {
    for (auto _ : state) {
        CompileContext context;
        registerBuiltinClasses(context, builtinCatalogue());
        benchmark::DoNotOptimize(context.tables().classesById().size());
        state.PauseTiming();
        builtins::builtinNames().clear();
        state.ResumeTiming();
    }
}
BENCHMARK(registerBuiltins)->Unit(benchmark::kMillisecond);

}  // namespace
