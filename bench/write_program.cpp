// korvo_bench_program [--full] LINES: writes the generated bench program of
// about LINES lines to standard output, for bench/compare_compilers.py: the
// front-end program without its include line (the file it names is not
// there), or with --full the program that compiles whole.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/generated_program.h"

int main(int argc, char** argv) {
    const bool full = argc == 3 && std::strcmp(argv[1], "--full") == 0;
    const int lines = argc == 2 || full ? std::atoi(argv[argc - 1]) : 0;
    if (lines <= 0) {
        std::fprintf(stderr, "usage: korvo_bench_program [--full] LINES\n");
        return 2;
    }
    std::string text;
    if (full) {
        text = benchprogram::generateFullProgram(lines);
    } else {
        text = benchprogram::generateProgram(lines);
        text.erase(0, text.find('\n') + 1);
    }
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
