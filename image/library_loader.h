// The libraries named on the command line, loaded into a compilation before
// its sources are parsed: -link libraries first, then -lib static libraries
// and packages.
#pragma once

#include <cstdint>
#include <functional>

#include "foundation/qestring.h"

class CompileContext;
class ZipArchive;
struct ZipRecord;
struct CompileOptions;

// Each reports its own failures on standard output and is false when any
// named library could not be found, read or loaded.
bool loadLinkLibraries(CompileContext& context, const CompileOptions& options);
bool loadLibraries(CompileContext& context, const CompileOptions& options);

enum PackageEntryMode : uint32_t { kPackageStatic = 0, kPackageLink = 1 };
// Told of every entry a package load tried: its mode, name and result.
using PackageEntryTrace = std::function<void(uint32_t mode, const qestl::qestringA& name, int result)>;

// One package (.kp) found at `path`: its static entry, then its link entry,
// else every library entry in directory order. False when the package is no
// archive or a chosen entry could not be loaded.
bool loadPackage(CompileContext& context, uint32_t libraryNumber, const qestl::qestringW& path,
                 const CompileOptions& options, const PackageEntryTrace& trace = {});
// One entry of an open package, read forward only from its local header.
// 1 when read and loaded.
int loadPackageEntry(CompileContext& context, uint32_t libraryNumber, const ZipArchive& archive,
                     const ZipRecord& entry, uint32_t mode, const qestl::qestringW& packagePath);
