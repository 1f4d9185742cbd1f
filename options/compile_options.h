// Every setting of one compiler run. The entry builds the record with its
// defaults, the command-line parser fills it, and the compile stages read it.
// Paths taken from the command line are normalised unless a field says
// otherwise.
#pragma once

#include <cstdint>

#include "foundation/json.h"
#include "foundation/qestring.h"
#include "foundation/vector.h"
#include "options/warning_set.h"

// The parser's result and `modeBits`: the low four bits choose the mode.
enum ModeBits : uint32_t {
    kModeCompile = 1,
    kModeExecutable = 8,
    kModeListing = 9,  // both bits: -d, or -c together with -ce
    kModeSharedModule = 16,
    kModeStaticLibrary = 32,
};

enum TargetOs : int32_t {
    kTargetOther = -1,
    kTargetWindows = 0,
    kTargetLinux = 1,
    kTargetDarwin = 2,
    kTargetWindowsXp = 3,
};

// Bits of `warningFlags`, read by the diagnostics.
enum WarningFlags : uint32_t {
    kWarningFlagWn = 1,
    kWarningFlagWe = 2,
    kWarningFlagLw = 4,
};

inline constexpr uint32_t kAllWarningsOff = 0x80000000u;

struct CompileOptions {
    CompileOptions();
    ~CompileOptions() = default;
    CompileOptions(const CompileOptions&) = delete;
    CompileOptions& operator=(const CompileOptions&) = delete;

    qestl::WStringVector sourceFiles;    // after -c, -ce and -gs, in order
    qestl::WStringVector libraryPaths;   // -libpath
    qestl::WStringVector includePaths;   // -incpath
    qestl::WStringVector libraries;      // -lib: static libraries and packages
    qestl::WStringVector linkLibraries;  // -link
    WarningCodeSet suppressedWarnings;   // -wl
    qestl::ByteVector iconBytes;         // filled by the image header writer
    qestl::qestringA webRoot;            // -dir, in the ANSI code page
    uint8_t linkLibraryOutput = 0;       // -kl
    uint8_t reserved0 = 0;
    uint8_t compileRequested = 0;        // -c, -ce, -gs
    uint8_t staticLibraryOutput = 0;     // -lik
    uint8_t sharedModule = 0;            // -slk
    uint8_t noDebugInfo = 0;             // -nd
    uint8_t consoleSubsystem = 0;        // -console
    uint8_t compressImage = 0;           // -z
    qestl::qestringA processorName;      // -arch:, "x86_64" by default
    uint8_t executableOutput = 0;        // -ce
    uint8_t listingRequested = 0;        // -d
    uint8_t signedStringList = 0;        // -stringlists-sign
    uint8_t nativeSources = 0;           // -gs
    uint32_t warningSwitch = 0;          // kAllWarningsOff after -w
    uint32_t elevationLevel = 0;         // 1 -uac-admin, 2 -uac-highest
    uint8_t outputRequired = 0;
    uint8_t sourceRequired = 0;
    uint16_t reserved1 = 0;
    uint32_t modeBits = 0;
    uint8_t debuggable = 0;              // -dbg
    uint8_t serverPages = 0;             // -ksp
    // -dir was given: a root that normalises to "" (".") is the current
    // directory, not a missing root.
    uint8_t webRootGiven = 0;
    int32_t targetOs = kTargetLinux;     // the host's
    qestl::qestringW targetOsName;       // the text after "-kcross-"
    qestl::qestringW stringListFile;     // -stringlists, -stringlists-sign
    qestl::qestringW languageMappingFile;  // -langmapping
    qestl::qestringW outputPath;         // -o
    qestl::qestringW iconOrListingFile;  // -ico, or the file to list after -d
    qestl::qestringW versionFile;        // a .version file among the sources
    qestl::qestringW kdefFile;           // a .kdef file among the sources (with -kl)
    qestl::qestringW reservedPath;
    cbjson versionDocument;              // read by the compile pipeline
    cbjson kdefDocument;
    uint32_t warningFlags = 0;           // WarningFlags
    uint32_t argumentCount = 0;          // the command line handed to the parser
    const char16_t* const* arguments = nullptr;
};
