// korvo_bench_program LINES: writes the generated bench program of about
// LINES lines to standard output, without its include line (the file it
// names is not there), for bench/compare_compilers.py.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/generated_program.h"

int main(int argc, char** argv) {
    const int lines = argc == 2 ? std::atoi(argv[1]) : 0;
    if (lines <= 0) {
        std::fprintf(stderr, "usage: korvo_bench_program LINES\n");
        return 2;
    }
    std::string text = benchprogram::generateProgram(lines);
    text.erase(0, text.find('\n') + 1);
    return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
