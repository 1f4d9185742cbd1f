#include <gtest/gtest.h>

#include <initializer_list>

#include "driver/command_line.h"

namespace {

// Parses "korvo" followed by the given UTF-8 arguments.
uint32_t parse(CompileOptions& options, std::initializer_list<const char*> args) {
    qestl::WStringVector wide;
    wide.pushBack(qestl::widen("korvo"));
    for (const char* arg : args) wide.pushBack(qestl::widen(arg));
    qestl::qevector<const char16_t*> argv;
    for (const qestl::qestringW& arg : wide) argv.pushBack(arg.c_str());
    int next = 0;
    testing::internal::CaptureStdout();
    uint32_t mode = parseCommandLine(options, static_cast<int>(argv.size()), argv.data(), &next);
    testing::internal::GetCapturedStdout();
    return mode;
}

std::string utf8(const qestl::qestringW& text) { return std::string(qestl::narrow(text).c_str()); }

TEST(CommandLine, ModeBitsOfTheOutputKinds) {
    struct Case {
        std::initializer_list<const char*> args;
        uint32_t mode;
    };
    const Case cases[] = {
        {{"-c", "a.k", "-o", "out"}, 1},
        {{"-c", "a.k", "-slk", "-o", "out"}, 17},
        {{"-LIK", "-c", "a.k", "-o", "out"}, 33},
        {{"-ce", "a.k", "-o", "out"}, 8},
        {{"-c", "a.k", "-ce", "b.k", "-o", "out"}, 9},
        {{"-d", "image.kbc", "-o", "out"}, 9},
        {{"-gs", "a.k", "-o", "out"}, 1},
        {{"-lik"}, 32},
    };
    for (const Case& c : cases) {
        CompileOptions options;
        EXPECT_EQ(parse(options, c.args), c.mode) << *c.args.begin();
        EXPECT_EQ(options.modeBits, c.mode);
    }
}

TEST(CommandLine, ModeOptionsSetTheirFlags) {
    CompileOptions gs;
    parse(gs, {"-gs", "a.k", "-o", "out"});
    EXPECT_EQ(gs.nativeSources, 1);
    EXPECT_EQ(gs.compileRequested, 1);
    EXPECT_EQ(gs.executableOutput, 0);

    // A later mode option overrides what an earlier one set.
    CompileOptions ce;
    parse(ce, {"-gs", "a.k", "-ce", "b.k", "-o", "out"});
    EXPECT_EQ(ce.nativeSources, 0);
    EXPECT_EQ(ce.executableOutput, 1);
    EXPECT_EQ(ce.sourceFiles.size(), 2u);

    CompileOptions listing;
    parse(listing, {"-d", "image.kbc", "-o", "out"});
    EXPECT_EQ(listing.listingRequested, 1);
    EXPECT_EQ(listing.sourceRequired, 0);
    EXPECT_EQ(utf8(listing.iconOrListingFile), "image.kbc");
}

TEST(CommandLine, AnErrorKeepsTheModeBitsGathered) {
    CompileOptions options;
    EXPECT_EQ(parse(options, {"-c", "a.k", "-slk", "-bogus", "-o", "out"}), 0u);
    EXPECT_EQ(options.modeBits, 17u);
    EXPECT_TRUE(options.outputPath.empty());  // nothing behind the error was read
}

// Octal, decimal and signed codes; an overflow wraps without fault; an
// option ends the list, and one the parser does not know fails the line.
TEST(CommandLine, WarningCodes) {
    CompileOptions options;
    parse(options, {"-wl", "010", "9", "+12", "019", "7x", "9", "4294967297"});
    EXPECT_EQ(options.suppressedWarnings.size(), 6u);  // the second 9 is no new code
    for (int32_t code : {8, 9, 12, 17, 7, 1}) EXPECT_TRUE(options.suppressedWarnings.contains(code)) << code;
    EXPECT_FALSE(options.suppressedWarnings.contains(10));

    CompileOptions ended;
    EXPECT_EQ(parse(ended, {"-wl", "3", "-5"}), 0u);
    EXPECT_TRUE(ended.suppressedWarnings.contains(3));
    EXPECT_EQ(ended.suppressedWarnings.size(), 1u);
}

TEST(CommandLine, ProcessorNameFromTheArPrefix) {
    struct Case {
        const char* arg;
        const char* name;
    };
    for (Case c : {Case{"-arch:arm64", "arm64"}, Case{"-arch:", ""}, Case{"-ar", ""}, Case{"-arc", ""},
                   Case{"-arch=mips", "mips"}}) {
        CompileOptions options;
        parse(options, {c.arg});
        EXPECT_EQ(std::string(options.processorName.c_str()), c.name) << c.arg;
    }
    CompileOptions upper;
    EXPECT_EQ(parse(upper, {"-ARCH:x86", "-c", "a.k", "-o", "o"}), 0u);
    EXPECT_EQ(std::string(upper.processorName.c_str()), "x86_64");
}

TEST(CommandLine, TargetOperatingSystems) {
    EXPECT_EQ(CompileOptions().targetOs, kTargetLinux);  // the host, until a -kcross says otherwise
    struct Case {
        const char* arg;
        int32_t os;
        const char* name;
    };
    for (Case c : {Case{"-kcross-windows", 0, "windows"}, Case{"-KCROSS-Linux", 1, "Linux"},
                   Case{"-kcross-darwin", 2, "darwin"}, Case{"-kcross-windows_xp", 3, "windows_xp"},
                   Case{"-kcross-freebsd", -1, "freebsd"}, Case{"-Kcross-", -1, ""}}) {
        CompileOptions options;
        EXPECT_EQ(parse(options, {c.arg}), 0u);  // accepted, but no mode chosen
        EXPECT_EQ(options.targetOs, c.os) << c.arg;
        EXPECT_EQ(utf8(options.targetOsName), c.name) << c.arg;
    }
}

TEST(CommandLine, SwitchesAndSingleValues) {
    CompileOptions options;
    uint32_t mode = parse(options, {"-nd", "-wn", "-we", "-lw", "-console", "-z", "-dbg", "-w", "-uac-highest",
                                    "-ico", "app.ico", "-stringlists-sign", "strings.json", "-langmapping",
                                    "zh.json", "-dir", "www", "-ksp", "-c", "page.ksp", "-o", "out"});
    EXPECT_EQ(mode, 1u);
    EXPECT_EQ(options.noDebugInfo, 1);
    EXPECT_EQ(options.warningFlags, 7u);
    EXPECT_EQ(options.consoleSubsystem, 1);
    EXPECT_EQ(options.compressImage, 1);
    EXPECT_EQ(options.debuggable, 1);
    EXPECT_EQ(options.warningSwitch, 0x80000000u);
    EXPECT_EQ(options.elevationLevel, 2u);
    EXPECT_EQ(options.signedStringList, 1);
    EXPECT_EQ(options.serverPages, 1);
    EXPECT_EQ(utf8(options.iconOrListingFile), "app.ico");
    EXPECT_EQ(utf8(options.stringListFile), "strings.json");
    EXPECT_EQ(utf8(options.languageMappingFile), "zh.json");
    EXPECT_EQ(std::string(options.webRoot.c_str()), "www");
    EXPECT_EQ(utf8(options.outputPath), "out");
}

TEST(CommandLine, PathListsMayBeEmptyAndAreNormalised) {
    CompileOptions options;
    uint32_t mode = parse(options, {"-libpath", "-lib", "a.lik", "pkg.kp", "-link", "-incpath", "inc/./x",
                                    "-c", "src/../main.k", "-o", "out"});
    EXPECT_EQ(mode, 1u);
    EXPECT_TRUE(options.libraryPaths.empty());
    EXPECT_EQ(options.libraries.size(), 2u);
    EXPECT_TRUE(options.linkLibraries.empty());
    ASSERT_EQ(options.includePaths.size(), 1u);
    EXPECT_EQ(utf8(options.includePaths[0]), "inc/x");
    ASSERT_EQ(options.sourceFiles.size(), 1u);
    EXPECT_EQ(utf8(options.sourceFiles[0]), "main.k");
}

TEST(CommandLine, SideFilesLeaveTheSourceList) {
    CompileOptions options;
    parse(options, {"-kl", "-c", "a.k", "one.version", "lib.KDEF", "b.k", "two.Version", "dir.version/c.k",
                    "noext", "-o", "out"});
    ASSERT_EQ(options.sourceFiles.size(), 4u);
    EXPECT_EQ(utf8(options.sourceFiles[0]), "a.k");
    EXPECT_EQ(utf8(options.sourceFiles[1]), "b.k");
    EXPECT_EQ(utf8(options.sourceFiles[2]), "dir.version/c.k");
    EXPECT_EQ(utf8(options.sourceFiles[3]), "noext");
    EXPECT_EQ(utf8(options.versionFile), "two.Version");  // the last one wins
    EXPECT_EQ(utf8(options.kdefFile), "lib.KDEF");
}

TEST(CommandLine, KdefIsDroppedWithoutLinkLibrary) {
    CompileOptions options;
    parse(options, {"-c", "lib.kdef", "a.k", "-o", "out"});
    ASSERT_EQ(options.sourceFiles.size(), 1u);
    EXPECT_EQ(utf8(options.sourceFiles[0]), "a.k");
    EXPECT_TRUE(options.kdefFile.empty());
}

TEST(CommandLine, SideFilesStayWhenTheParseFailed) {
    CompileOptions options;
    EXPECT_EQ(parse(options, {"-c", "a.k", "app.version"}), 0u);  // no -o
    EXPECT_EQ(options.sourceFiles.size(), 2u);
    EXPECT_TRUE(options.versionFile.empty());
}

}  // namespace
