// The full-compile bench program must stay a clean program: its rows time a
// compilation that reaches the image, so an error or warning would time
// something else.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "bench/generated_program.h"
#include "driver/command_line.h"
#include "driver/pipeline.h"
#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "options/compile_options.h"

namespace {

TEST(BenchProgram, CompilesWholeWithoutMessages) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("korvo-bench-program-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string source = (dir / "full.k").string();
    std::ofstream(source, std::ios::binary) << benchprogram::generateFullProgram(200);

    CompileOptions options;
    const qestl::qestringW path = qestl::widen(source.c_str());
    const qestl::qestringW output = qestl::widen((dir / "full.kb").string().c_str());
    const char16_t* argv[] = {u"korvo", u"-c", path.c_str(), u"-o", output.c_str()};
    int next = 0;
    parseCommandLine(options, 5, argv, &next);
    qestl::qeByteStream image;
    testing::internal::CaptureStdout();
    const int written = compileToStream(image, options);
    std::fflush(stdout);
    const std::string printed = testing::internal::GetCapturedStdout();
    fs::remove_all(dir);

    EXPECT_EQ(written, 1);
    EXPECT_GT(image.size(), 0u);
    EXPECT_EQ(printed.find("[Error]"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("[Warning"), std::string::npos) << printed;
}

}  // namespace
