// The parser the compiler runs against the reference engine: the same tree,
// messages and static-library bytes over the golden sources, the examples,
// generated bench programs and mutated copies of all of them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/generated_program.h"
#include "fuzz/parse_differential.h"
#include "../syntax/test_support.h"

namespace {

namespace fs = std::filesystem;
using parse_differential::compareFile;

std::vector<std::string> corpus() {
    std::vector<std::string> files;
    const std::string root = syntaxtest::sourceTree();
    for (const char* folder : {"/tests/golden", "/examples"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root + folder)) {
            const std::string path = entry.path().string();
            if (entry.is_regular_file() && path.size() > 2 && path.compare(path.size() - 2, 2, ".k") == 0)
                files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class Scratch {
public:
    Scratch() : path_("/tmp/korvo-differential-" + std::to_string(getpid()) + ".k") {}
    ~Scratch() { std::remove(path_.c_str()); }
    const std::string& write(const std::string& text) {
        std::FILE* file = std::fopen(path_.c_str(), "wb");
        if (file != nullptr) {
            std::fwrite(text.data(), 1, text.size(), file);
            std::fclose(file);
        }
        return path_;
    }

private:
    std::string path_;
};

TEST(ParseDifferential, GoldenSourcesAndExamplesParseAlike) {
    const std::vector<std::string> files = corpus();
    ASSERT_GT(files.size(), 40u);
    syntaxtest::onBigStack([&] {
        for (const std::string& file : files) EXPECT_EQ(compareFile(file), "") << file;
    });
}

TEST(ParseDifferential, GeneratedProgramsParseAlike) {
    Scratch scratch;
    std::string text = benchprogram::generateProgram(400);
    text.erase(0, text.find('\n') + 1);  // the include names a file that is not there
    const std::string& path = scratch.write(text);
    syntaxtest::onBigStack([&] {
        parse_differential::Outcome outcome = parse_differential::parseFile(path, false);
        EXPECT_EQ(outcome.status, kParsed) << outcome.messages;
        EXPECT_FALSE(outcome.library.empty());
        EXPECT_EQ(compareFile(path), "");
    });
}

// Cut, duplicated and swapped token ranges: most copies fail somewhere, and
// the messages of a failure must come out the same as well. Each copy stands
// in a copy of its source's folder, so the files it includes are there: a
// failure after an include must not read or report the included files twice.
TEST(ParseDifferential, MutatedCopiesParseAlike) {
    const fs::path folder = fs::temp_directory_path() / ("korvo-differential-" + std::to_string(getpid()));
    std::vector<std::pair<std::string, std::string>> sources;  // folder to copy, file name
    for (const std::string& file : corpus()) sources.push_back({fs::path(file).parent_path().string(), file});
    uint64_t seed = 1;
    size_t failed = 0, total = 0;
    auto check = [&](const std::string& text, const std::string& name) {
        const std::vector<int32_t> starts = parse_differential::tokenStarts(text);
        for (int copy = 0; copy < 12; ++copy, ++total) {
            const std::string mutated = parse_differential::mutate(text, starts, seed++);
            const std::string path = (folder / name).string();
            std::FILE* out = std::fopen(path.c_str(), "wb");
            ASSERT_NE(out, nullptr);
            std::fwrite(mutated.data(), 1, mutated.size(), out);
            std::fclose(out);
            EXPECT_EQ(compareFile(path), "") << "mutation " << seed - 1 << " of " << name << ":\n" << mutated;
            failed += parse_differential::parseFile(path, false).status != kParsed;
        }
    };
    syntaxtest::onBigStack([&] {
        for (const auto& [from, file] : sources) {
            fs::remove_all(folder);
            fs::copy(from, folder, fs::copy_options::recursive);
            check(syntaxtest::readFile(file), fs::path(file).filename().string());
        }
        fs::remove_all(folder);
        fs::create_directories(folder);
        std::string program = benchprogram::generateProgram(80);
        check(program.substr(program.find('\n') + 1), "bench.k");
        fs::remove_all(folder);
    });
    // The mutations must reach the failure paths, not only the happy ones.
    EXPECT_GT(failed, total / 4);
}

}  // namespace
