// Version texts of the .version file as the version resource reads them,
// and an image too long for any stub.
#include <gtest/gtest.h>

#include <filesystem>

#include "executable/executable_builder.h"
#include "executable/pe_resources.h"
#include "options/compile_options.h"

namespace {

struct Expected {
    const char* text;
    int count;
    uint16_t numbers[4];
};

TEST(VersionNumbers, SignsOctalAndStops) {
    const Expected cases[] = {
        {"1.2.3.4", 4, {1, 2, 3, 4}},
        {"1.2", 2, {1, 2, 0, 0}},
        {"010.2", 2, {8, 2, 0, 0}},          // a leading 0 means octal
        {"09.1", 2, {0, 1, 0, 0}},           // 9 is no octal digit: the number stops before it
        {"+3.-1", 2, {3, 0xFFFF, 0, 0}},     // signs, kept in 16 bits
        {"1..2.3.4.5", 4, {1, 0, 2, 3}},     // an empty part is 0; a fifth is ignored
        {"2b.7 beta", 2, {2, 7, 0, 0}},      // each number ends at its first non-digit
        {"70000", 1, {70000 & 0xFFFF, 0, 0, 0}},
    };
    for (const Expected& c : cases) {
        uint16_t numbers[4];
        EXPECT_EQ(parseVersionNumbers(c.text, numbers), c.count) << c.text;
        for (int i = 0; i < 4; ++i) EXPECT_EQ(numbers[i], c.numbers[i]) << c.text << " #" << i;
    }
}

// Every stub keeps the image's length in 32 bits: a longer image is refused
// with the not-written message, before a byte of it is read, and no file is
// left behind.
TEST(ExecutableImage, LongerThanFourGiBIsRefusedAloud) {
    const std::filesystem::path out = std::filesystem::temp_directory_path() / "korvo_long_image_test";
    std::filesystem::remove(out);
    CompileOptions options;
    const uint8_t image[1] = {};
    testing::internal::CaptureStdout();
    const bool built = buildExecutable(qestl::qestringA("korvo"), image, uint64_t{1} << 32,
                                       qestl::widen(out.string().c_str()), options, true);
    const std::string shown = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(built);
    EXPECT_EQ(shown, "无法写入文件:" + out.string() + "\n生成失败\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

}  // namespace
