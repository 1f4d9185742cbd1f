#include "driver/command_line.h"

#include "driver/console.h"
#include "driver/response_file.h"
#include "foundation/ascii_case.h"
#include "foundation/memory.h"
#include "foundation/path.h"
#include "foundation/signed_digits.h"

namespace {

using qestl::equalIgnoringAsciiCase;
using qestl::unitLength;

qestl::qestringW normalisedPath(const char16_t* text) {
    qestl::qestringW path(text);
    qestl::normaliseWidePath(path);
    return path;
}

struct Parser {
    CompileOptions& options;
    int argc;
    const char16_t* const* argv;
    int index = 1;
    uint32_t mode = 0;

    const char16_t* argument() const { return argv[index]; }
    // A value follows unless the option is last or the next argument is an option.
    bool valueFollows() const { return index + 1 < argc && argv[index + 1][0] != u'-'; }
    const char16_t* takeValue() { return argv[++index]; }
    void takePathList(qestl::WStringVector& list) {
        while (valueFollows()) list.pushBack(normalisedPath(takeValue()));
    }
};

bool fail(const char* message) {
    printToStdout(message);
    return false;
}

// Sign, then digits: a leading 0 reads them in base 8 (8 and 9 keep their
// face value), anything else in base 10. Wraps silently on overflow.
int32_t parseWarningCode(const char16_t* text) { return qestl::readSignedDigits(text).as<int32_t>(); }

bool setTarget(Parser& p, int32_t os) {
    p.options.targetOs = os;
    p.options.targetOsName = qestl::qestringW(p.argument() + 8);
    return true;
}

bool takeOne(Parser& p, qestl::qestringW& field, const char* missing) {
    if (!p.valueFollows()) return fail(missing);
    field = normalisedPath(p.takeValue());
    return true;
}

// -c, -ce, -gs: the sources that follow, then the mode they select.
bool takeSources(Parser& p, const char* missing, uint32_t modeBit, uint8_t executable, uint8_t native) {
    if (!p.valueFollows()) return fail(missing);
    p.takePathList(p.options.sourceFiles);
    p.mode |= modeBit;
    p.options.compileRequested = 1;
    p.options.executableOutput = executable;
    p.options.nativeSources = native;
    p.options.outputRequired = 1;
    p.options.sourceRequired = 1;
    return true;
}

enum class Match { Folded, ExactPrefix, FoldedPrefix };

struct OptionRule {
    const char16_t* name;
    Match match;
    bool (*apply)(Parser&);
};

// First match wins, so the order matters: "-w" must not shadow "-wl", the
// "-kcross-" prefix comes after the named targets.
const OptionRule kOptionRules[] = {
    {u"-lik", Match::Folded, [](Parser& p) {
         if (p.options.sharedModule) return fail("-lik 选项不能与 -slk 同时使用\n");
         if (p.options.linkLibraryOutput) return fail("-lik 选项不能与 -kl 同时使用\n");
         p.mode |= kModeStaticLibrary;
         p.options.staticLibraryOutput = 1;
         return true;
     }},
    {u"-kl", Match::Folded, [](Parser& p) {
         if (p.options.staticLibraryOutput) return fail("-lik 选项不能与 -kl 同时使用\n");
         if (p.options.sharedModule) return fail("-slk 选项不能与 -kl 同时使用\n");
         p.options.linkLibraryOutput = 1;
         return true;
     }},
    {u"-slk", Match::Folded, [](Parser& p) {
         if (p.options.staticLibraryOutput) return fail("-lik 选项不能与 -slk 同时使用\n");
         if (p.options.linkLibraryOutput) return fail("-slk 选项不能与 -kl 同时使用\n");
         p.mode |= kModeSharedModule;
         p.options.sharedModule = 1;
         return true;
     }},
    {u"-nd", Match::Folded, [](Parser& p) -> bool { p.options.noDebugInfo = 1; return true; }},
    {u"-wn", Match::Folded, [](Parser& p) -> bool { p.options.warningFlags |= kWarningFlagWn; return true; }},
    {u"-lw", Match::Folded, [](Parser& p) -> bool { p.options.warningFlags |= kWarningFlagLw; return true; }},
    {u"-we", Match::Folded, [](Parser& p) -> bool { p.options.warningFlags |= kWarningFlagWe; return true; }},
    {u"-console", Match::Folded, [](Parser& p) -> bool { p.options.consoleSubsystem = 1; return true; }},
    {u"-z", Match::Folded, [](Parser& p) -> bool { p.options.compressImage = 1; return true; }},
    {u"-ksp", Match::Folded, [](Parser& p) -> bool { p.options.serverPages = 1; return true; }},
    {u"-ar", Match::ExactPrefix, [](Parser& p) {
         // "-arch:NAME": the name starts at the seventh unit.
         const char16_t* text = p.argument();
         p.options.processorName = unitLength(text) > 6 ? qestl::narrow(text + 6) : qestl::qestringA();
         return true;
     }},
    {u"-dbg", Match::Folded, [](Parser& p) -> bool { p.options.debuggable = 1; return true; }},
    {u"-kcross-windows", Match::Folded, [](Parser& p) { return setTarget(p, kTargetWindows); }},
    {u"-kcross-linux", Match::Folded, [](Parser& p) { return setTarget(p, kTargetLinux); }},
    {u"-kcross-darwin", Match::Folded, [](Parser& p) { return setTarget(p, kTargetDarwin); }},
    {u"-kcross-windows_xp", Match::Folded, [](Parser& p) { return setTarget(p, kTargetWindowsXp); }},
    {u"-wl", Match::Folded, [](Parser& p) {
         while (p.valueFollows()) p.options.suppressedWarnings.insert(parseWarningCode(p.takeValue()));
         return true;
     }},
    {u"-w", Match::Folded, [](Parser& p) -> bool { p.options.warningSwitch = kAllWarningsOff; return true; }},
    {u"-uac-admin", Match::Folded, [](Parser& p) -> bool { p.options.elevationLevel = 1; return true; }},
    {u"-uac-highest", Match::Folded, [](Parser& p) -> bool { p.options.elevationLevel = 2; return true; }},
    {u"-libpath", Match::Folded, [](Parser& p) -> bool { p.takePathList(p.options.libraryPaths); return true; }},
    {u"-lib", Match::Folded, [](Parser& p) -> bool { p.takePathList(p.options.libraries); return true; }},
    {u"-link", Match::Folded, [](Parser& p) -> bool { p.takePathList(p.options.linkLibraries); return true; }},
    {u"-incpath", Match::Folded, [](Parser& p) -> bool { p.takePathList(p.options.includePaths); return true; }},
    {u"-ico", Match::Folded,
     [](Parser& p) { return takeOne(p, p.options.iconOrListingFile, "missing icon file;\n"); }},
    {u"-o", Match::Folded, [](Parser& p) { return takeOne(p, p.options.outputPath, "missing output file;\n"); }},
    {u"-stringlists", Match::Folded,
     [](Parser& p) { return takeOne(p, p.options.stringListFile, "missing output file;\n"); }},
    {u"-stringlists-sign", Match::Folded, [](Parser& p) {
         if (!takeOne(p, p.options.stringListFile, "missing output file;\n")) return false;
         p.options.signedStringList = 1;
         return true;
     }},
    {u"-langmapping", Match::Folded,
     [](Parser& p) { return takeOne(p, p.options.languageMappingFile, "missing input file;\n"); }},
    {u"-c", Match::Folded, [](Parser& p) { return takeSources(p, "missing input file;\n", kModeCompile, 0, 0); }},
    {u"-gs", Match::Folded, [](Parser& p) { return takeSources(p, "missing output file;\n", kModeCompile, 0, 1); }},
    {u"-dir", Match::Folded, [](Parser& p) {
         if (!p.valueFollows()) return fail("missing root dir\n");
         p.options.webRoot = qestl::narrow(normalisedPath(p.takeValue()));
         p.options.webRootGiven = 1;
         return true;
     }},
    {u"-ce", Match::Folded,
     [](Parser& p) { return takeSources(p, "missing input file;\n", kModeExecutable, 1, 0); }},
    {u"-d", Match::Folded, [](Parser& p) {
         if (!takeOne(p, p.options.iconOrListingFile, "missing input file;\n")) return false;
         p.mode |= kModeListing;
         p.options.listingRequested = 1;
         p.options.nativeSources = 0;
         p.options.outputRequired = 1;
         return true;
     }},
    {u"-kcross-", Match::FoldedPrefix, [](Parser& p) { return setTarget(p, kTargetOther); }},
};

bool matches(const OptionRule& rule, const char16_t* argument) {
    switch (rule.match) {
        case Match::Folded:
            return equalIgnoringAsciiCase(argument, rule.name);
        case Match::ExactPrefix:
            for (size_t i = 0; rule.name[i] != 0; ++i) {
                if (argument[i] != rule.name[i]) return false;
            }
            return true;
        case Match::FoldedPrefix:
            return equalIgnoringAsciiCase(argument, rule.name, unitLength(rule.name));
    }
    return false;
}

bool applyOption(Parser& p) {
    for (const OptionRule& rule : kOptionRules) {
        if (matches(rule, p.argument())) return rule.apply(p);
    }
    printfToStdout("未知的命令行参数: %s\n", qestl::narrow(p.argument()).c_str());
    return false;
}

// A .version file and, with -kl, a .kdef file travel in the source list but
// are side files of the compilation, not sources.
void takeSideFiles(CompileOptions& options) {
    qestl::WStringVector& sources = options.sourceFiles;
    for (size_t i = 0; i < sources.size();) {
        if (qestl::hasExtension(sources[i], u".version")) {
            options.versionFile = sources[i];
        } else if (qestl::hasExtension(sources[i], u".kdef")) {
            if (options.linkLibraryOutput) {
                options.kdefFile = sources[i];
            } else {
                printToStdout(".kdef文件仅与 -kl 选项有效, 此文件将被忽略\n");
            }
        } else {
            ++i;
            continue;
        }
        sources.erase(i);
    }
}

uint32_t parseArguments(CompileOptions& options, int argc, const char16_t* const* argv, int* nextIndex, int depth);

uint32_t parseResponseFile(CompileOptions& options, const char16_t* path, int* nextIndex, int depth) {
    qestl::WStringVector arguments;
    if (!readResponseFile(path, arguments)) return 0;
    qestl::qevector<const char16_t*> pointers;
    for (const qestl::qestringW& argument : arguments) pointers.pushBack(argument.c_str());
    return parseArguments(options, static_cast<int>(pointers.size()), pointers.data(), nextIndex, depth + 1);
}

uint32_t parseArguments(CompileOptions& options, int argc, const char16_t* const* argv, int* nextIndex, int depth) {
    if (argc == 2 && argv[1][0] == u'@' && depth < kMaxResponseFileDepth) {
        return parseResponseFile(options, argv[1] + 1, nextIndex, depth);
    }
    if (depth == 0) {
        options.argumentCount = static_cast<uint32_t>(argc);
        options.arguments = argv;
    }
    Parser p{options, argc, argv};
    for (; p.index < argc; ++p.index) {
        if (static_cast<uint16_t>(p.argument()[0]) <= 32) continue;
        if (!applyOption(p)) {
            options.modeBits = p.mode;
            *nextIndex = p.index + 1;
            return 0;
        }
    }
    options.modeBits = p.mode;
    *nextIndex = argc;

    uint32_t result = p.mode;
    if (options.outputRequired && options.outputPath.empty()) {
        printToStdout("missing output file;\n");
        result = 0;
    }
    if (options.serverPages && !options.webRootGiven) {
        printToStdout("ksp need -dir <rootdir>;\n");
        result = 0;
    }
    if (options.sourceRequired && options.sourceFiles.empty()) {
        printToStdout("missing input file;\n");
        return 0;
    }
    if (result != 0) {
        takeSideFiles(options);
        // Side files alone leave nothing to compile; the modes would run on
        // an empty project and fail without saying why.
        if (options.sourceRequired && options.sourceFiles.empty()) {
            printToStdout("missing input file;\n");
            return 0;
        }
    }
    return result;
}

}  // namespace

uint32_t parseCommandLine(CompileOptions& options, int argc, const char16_t* const* argv, int* nextIndex) {
    return parseArguments(options, argc, argv, nextIndex, 0);
}
