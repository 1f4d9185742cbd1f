// The parser the compiler runs and the reference engine must agree on every
// input: the same syntax tree, the same messages, the same static-library
// bytes (fuzz/parse_differential.h). Under libFuzzer half the mutations cut,
// duplicate or swap whole token ranges, so inputs stay close to korvo.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/max_len.h"
#include "fuzz/parse_differential.h"
#include "fuzz/scratch_file.h"

// An input costs three parses, and deep nesting makes one take a hundred
// times what a flat input of its length takes (a seed of 300 parentheses:
// 30 ms under the sanitizers). Mutations are shared out by speed as well as
// by rare coverage, so such inputs no longer take most of the time.
KORVO_FUZZ_FLAGS("-max_len=1024", "-entropic_scale_per_exec_time=1")

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // An include that is not found lists the search paths on stdout.
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    const ScratchFile scratch(data, size);
    const char* file = scratch.path();
    if (file == nullptr) return 0;
    const std::string difference = parse_differential::compareFile(file);
    if (!difference.empty()) {
        std::fprintf(stderr, "the parsers differ: %s\n", difference.c_str());
        std::abort();
    }
    return 0;
}

#ifdef KORVO_LIBFUZZER
extern "C" size_t LLVMFuzzerMutate(uint8_t* data, size_t size, size_t maxSize);

extern "C" size_t LLVMFuzzerCustomMutator(uint8_t* data, size_t size, size_t maxSize, unsigned int seed) {
    if (seed % 2 == 0) return LLVMFuzzerMutate(data, size, maxSize);
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string mutated = parse_differential::mutate(text, parse_differential::tokenStarts(text), seed);
    if (mutated.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
    std::memcpy(data, mutated.data(), mutated.size());
    return mutated.size();
}
#endif
