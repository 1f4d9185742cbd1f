// korvo-probe fmt FORMAT ARG...   formats with the narrow house engine
// korvo-probe utf16 TEXT          the UTF-16 units of a UTF-8 text, in hex
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "foundation/format.h"
#include "foundation/qestring.h"
#include "probe.h"

namespace {

// Values from the command line, each read as the conversion that meets it
// wants: an integer, a double, a text, or address bytes ("192.168.0.1",
// "00:1a:2b:3c:4d:5e").
class CommandLineArgs final : public qestl::FormatArgs {
public:
    CommandLineArgs(int argc, char** argv) : argc_(argc), argv_(argv) {}

    int32_t nextInt32() override { return static_cast<int32_t>(nextInt64()); }
    int64_t nextInt64() override {
        const char* text = next();
        // Unsigned parse keeps values up to 2^64 - 1; a leading '-' wraps as C does.
        return static_cast<int64_t>(std::strtoull(text, nullptr, 0));
    }
    double nextDouble() override { return std::strtod(next(), nullptr); }
    const void* nextText() override { return next(); }
    uint64_t nextPointer() override { return static_cast<uint64_t>(nextInt64()); }
    const uint8_t* nextAddress() override {
        const char* text = next();
        bool mac = std::strchr(text, ':') != nullptr;
        auto& bytes = addresses_.emplace_back();
        for (size_t i = 0; i < bytes.size() && *text != 0; ++i) {
            char* end = nullptr;
            bytes[i] = static_cast<uint8_t>(std::strtoul(text, &end, mac ? 16 : 10));
            text = *end != 0 ? end + 1 : end;
        }
        return bytes.data();
    }
    int64_t* nextCounter() override {
        ++used_;  // takes no value from the command line
        return &counter_;
    }

private:
    const char* next() { return used_ < argc_ ? argv_[used_++] : "0"; }

    int argc_;
    char** argv_;
    int used_ = 0;
    int64_t counter_ = 0;
    std::vector<std::array<uint8_t, 6>> addresses_;
};

int fmtCommand(int argc, char** argv) {
    if (argc < 1) return 2;
    CommandLineArgs values(argc - 1, argv + 1);
    qestl::qestringA text;
    size_t length = qestl::formatUnits(text, 0, argv[0], values);
    std::fwrite(text.c_str(), 1, length, stdout);
    std::fputc('\n', stdout);
    return 0;
}

int utf16Command(int argc, char** argv) {
    if (argc != 1) return 2;
    qestl::qestringW wide = qestl::widen(argv[0]);
    qestl::qestringA line;
    for (size_t i = 0; i < wide.length(); ++i) line.appendFormat(i == 0 ? "%04x" : " %04x", unsigned(wide[i]));
    std::printf("%s\n", line.c_str());
    return 0;
}

}  // namespace

KORVO_PROBE("fmt", "FORMAT ARG...", fmtCommand);
KORVO_PROBE("utf16", "TEXT", utf16Command);
