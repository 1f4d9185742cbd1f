// Outputs built around the compiled program: native executables and the
// native C/C++ sources of its bindings.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/vector.h"
#include "foundation/whole_file.h"

class CompileContext;
struct CompileOptions;

// Writes every generated native source into the directory; reports each
// file itself. False when any could not be written.
bool writeNativeSources(CompileContext& context, const qestl::qestringA& directory);

// Places the image into the runtime stub for the target and writes the
// executable; reports its own errors (an image over 4 GiB among them). False
// when nothing was written.
bool buildExecutable(const qestl::qestringA& compilerPath, const uint8_t* image, uint64_t imageLength,
                     const qestl::qestringW& outputPath, CompileOptions& options, bool knownTarget);

// An executable whose image goes into the output file as the compiler writes
// it, never held whole in memory: the stub's bytes before the image go first
// (once the first image byte comes, so a failed compile opens nothing), then
// the image, then the stub's bytes behind it; the fields that depend on the
// image's length are set last, in place. Only an ELF stub is laid out for
// this; `begin` says whether the target's stub is one.
class StreamedExecutable final : public qestl::qeistream {
public:
    StreamedExecutable(const qestl::qestringW& outputPath, const CompileOptions& options);
    // False when the image must be placed by buildExecutable instead.
    bool begin(const qestl::qestringA& compilerPath, bool knownTarget);
    // Writes the rest, puts the executable in place and reports it as
    // buildExecutable does; false when nothing was written.
    bool complete();

    // The image's stream: positions count from the image's first byte.
    bool open() override;
    bool isOpen() override { return file_.isOpen(); }
    uint32_t write(const void* source, uint32_t count) override;
    uint64_t tell() override { return written_; }
    uint64_t size() override { return written_; }
    void flush() override { file_.flush(); }
    void expectSize(uint64_t total) override;
    bool writesAtPositions() override;
    bool writeAt(uint64_t position, const void* source, uint32_t count) override;

private:
    void start();

    const qestl::qestringW& outputPath_;
    const CompileOptions& options_;
    WholeFileWriter file_;
    qestl::ByteVector stub_;
    uint64_t imageAt_ = 0;  // in the file
    uint64_t written_ = 0;
    bool started_ = false;
};
