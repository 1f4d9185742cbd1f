// Linux and macOS executables: the image goes into the stub's ".vm" section
// (ELF) or behind the stub inside __LINKEDIT (Mach-O). Every field of the
// stub is checked against its bytes before anything is moved.
#include <cstdio>

#include "executable/executable_builder.h"
#include "executable/stub_writers.h"
#include "foundation/byte_io.h"
#include "foundation/whole_file.h"
#include "options/compile_options.h"
#include "platform/file.h"
#include "platform/output_file.h"

namespace {

using qestl::ByteReader;
using qestl::ByteVector;
using qestl::ByteWriter;

constexpr uint32_t kSectionNoBits = 8;
// Bytes of the executable gathered before they go to the file.
constexpr size_t kSpillBytes = size_t{1} << 20;

// Hands the written bytes to the output file; its failures wait for the commit.
class FileSink final : public qestl::ByteSink {
public:
    explicit FileSink(WholeFileWriter& file) : file_(file) {}
    void take(const uint8_t* data, size_t count) override { qestl::writeInPieces(file_, data, count); }

private:
    WholeFileWriter& file_;
};

// Field offsets of the two ELF classes.
struct ElfLayout {
    bool wide;
    size_t phoff, shoff, phentsize, phnum, shentsize, shnum, shstrndx;
    size_t minPh, minSh;
    size_t shType, shOffset, shSize;      // within a section header
    size_t phOffset, phFileSize, phMemSize;  // within a program header
};

constexpr ElfLayout kElf64{true, 32, 40, 54, 56, 58, 60, 62, 56, 64, 4, 24, 32, 8, 32, 40};
constexpr ElfLayout kElf32{false, 28, 32, 42, 44, 46, 48, 50, 32, 40, 4, 16, 20, 4, 16, 20};

class ElfFields {
public:
    ElfFields(const ElfLayout& layout, ByteVector& bytes, bool bigEndian)
        : layout_(layout), reader_(bytes.data(), bytes.size()), writer_(bytes), big_(bigEndian) {}

    uint64_t address(size_t at) {
        return layout_.wide ? reader_.u64At(at, big_) : reader_.u32At(at, big_);
    }
    uint32_t u32(size_t at) { return reader_.u32At(at, big_); }
    uint16_t u16(size_t at) { return reader_.u16At(at, big_); }
    bool ok() const { return reader_.ok(); }
    bool holds(uint64_t at, uint64_t count) const { return reader_.holds(at, count); }

    // False when the value does not fit the field (ELF32 and 4 GiB).
    bool setAddress(size_t at, uint64_t value) {
        if (layout_.wide) return writer_.patchU64(at, value, big_);
        return value <= UINT32_MAX && writer_.patchU32(at, static_cast<uint32_t>(value), big_);
    }
    bool moveAddress(size_t at, int64_t delta) { return setAddress(at, address(at) + static_cast<uint64_t>(delta)); }

private:
    const ElfLayout& layout_;
    ByteReader reader_;
    ByteWriter writer_;
    bool big_;
};

bool rangesOverlap(uint64_t a, uint64_t aLength, uint64_t b, uint64_t bLength) {
    return a < b + bLength && b < a + aLength;
}

}  // namespace

// The head of the block the image travels in: its length, then 24 zeros; the
// whole block is padded to 32 bytes.
void appendElfPayloadHead(ByteWriter& out, uint32_t imageLength, bool bigEndian) {
    out.u64(imageLength, bigEndian);
    out.zeros(kElfPayloadHeadBytes - 8);
}

uint32_t elfPayloadPadding(uint32_t imageLength) { return (32 - imageLength % 32) % 32; }

int placeElfImage(const ByteVector& stub, uint32_t imageLength, ElfPlacement& placement) {
    if (stub.size() < 52 || stub[0] != 0x7F || stub[1] != 'E' || stub[2] != 'L' || stub[3] != 'F')
        return kStubUnusable;
    const ElfLayout& layout = stub[4] == 2 ? kElf64 : kElf32;
    const bool big = stub[5] == 2;
    ByteVector& patched = placement.patched;
    patched = stub;
    ElfFields f(layout, patched, big);
    const uint64_t phoff = f.address(layout.phoff), shoff = f.address(layout.shoff);
    const uint32_t phentsize = f.u16(layout.phentsize), phnum = f.u16(layout.phnum);
    const uint32_t shentsize = f.u16(layout.shentsize), shnum = f.u16(layout.shnum);
    const uint32_t shstrndx = f.u16(layout.shstrndx);
    if (!f.ok() || shnum == 0 || shstrndx >= shnum || shentsize < layout.minSh ||
        !f.holds(shoff, uint64_t{shnum} * shentsize))
        return kStubUnusable;
    if (phnum != 0 && (phentsize < layout.minPh || !f.holds(phoff, uint64_t{phnum} * phentsize)))
        return kStubUnusable;

    const uint64_t namesHeader = shoff + uint64_t{shstrndx} * shentsize;
    const uint64_t namesAt = f.address(namesHeader + layout.shOffset);
    const uint64_t namesSize = f.address(namesHeader + layout.shSize);
    if (!f.ok() || !f.holds(namesAt, namesSize)) return kStubUnusable;

    // The payload section.
    uint64_t vmHeader = 0, oldOffset = 0, oldSize = 0;
    bool found = false;
    for (uint32_t i = 0; i < shnum && !found; ++i) {
        const uint64_t header = shoff + uint64_t{i} * shentsize;
        const uint32_t name = f.u32(header);
        if (name > namesSize || namesSize - name < 4) continue;
        const uint8_t* text = stub.data() + namesAt + name;
        if (text[0] != '.' || text[1] != 'v' || text[2] != 'm' || text[3] != 0) continue;
        vmHeader = header;
        oldOffset = f.address(header + layout.shOffset);
        oldSize = f.address(header + layout.shSize);
        found = true;
    }
    if (!found || !f.ok() || !f.holds(oldOffset, oldSize)) return kStubUnusable;
    // The header tables must lie outside the bytes being replaced.
    if (rangesOverlap(shoff, uint64_t{shnum} * shentsize, oldOffset, oldSize) ||
        (phnum != 0 && rangesOverlap(phoff, uint64_t{phnum} * phentsize, oldOffset, oldSize)) ||
        rangesOverlap(0, layout.wide ? 64 : 52, oldOffset, oldSize))
        return kStubUnusable;

    const uint64_t blockSize = kElfPayloadHeadBytes + uint64_t{imageLength} + elfPayloadPadding(imageLength);
    const int64_t delta = static_cast<int64_t>(blockSize) - static_cast<int64_t>(oldSize);
    const uint64_t behind = oldOffset + oldSize;

    bool fits = f.setAddress(vmHeader + layout.shSize, blockSize);
    if (shoff >= behind) fits = fits && f.moveAddress(layout.shoff, delta);
    if (phnum != 0 && phoff >= behind) fits = fits && f.moveAddress(layout.phoff, delta);
    // Sections stored behind ".vm" move with the bytes, whatever their place
    // in the table; sections without file bytes keep their offset.
    for (uint32_t i = 0; i < shnum; ++i) {
        const uint64_t header = shoff + uint64_t{i} * shentsize;
        if (header == vmHeader || f.u32(header + layout.shType) == kSectionNoBits) continue;
        if (f.address(header + layout.shOffset) >= behind) fits = fits && f.moveAddress(header + layout.shOffset, delta);
    }
    for (uint32_t i = 0; i < phnum; ++i) {
        const uint64_t header = phoff + uint64_t{i} * phentsize;
        const uint64_t offset = f.address(header + layout.phOffset);
        const uint64_t fileSize = f.address(header + layout.phFileSize);
        if (offset >= behind) {
            fits = fits && f.moveAddress(header + layout.phOffset, delta);
        } else if (offset <= oldOffset && fileSize >= behind - offset && fileSize > oldOffset - offset) {
            // Only a segment that really holds the section's bytes grows.
            fits = fits && f.moveAddress(header + layout.phFileSize, delta) &&
                   f.moveAddress(header + layout.phMemSize, delta);
        }
    }
    if (!fits || !f.ok()) return kStubUnusable;
    placement.blockAt = oldOffset;
    placement.behind = behind;
    placement.bigEndian = big;
    return kStubWritten;
}

int patchElfStub(const ByteVector& stub, const uint8_t* image, uint32_t imageLength, bool debuggable,
                 ByteWriter& writer) {
    ElfPlacement placed;
    const int result = placeElfImage(stub, imageLength, placed);
    if (result != kStubWritten) return result;
    writer.bytes(placed.patched.data(), placed.blockAt);
    appendElfPayloadHead(writer, imageLength, placed.bigEndian);
    writer.bytes(image, imageLength);
    writer.zeros(elfPayloadPadding(imageLength));
    writeElfTail(placed, debuggable, writer);
    return kStubWritten;
}

void writeElfTail(const ElfPlacement& placed, bool debuggable, ByteWriter& writer) {
    writer.bytes(placed.patched.data() + placed.behind, placed.patched.size() - placed.behind);
    if (debuggable) writer.bytes("kdbg", 4);
}

int patchMachOStub(const ByteVector& stub, const uint8_t* image, uint32_t imageLength, bool debuggable,
                   ByteWriter& writer) {
    ByteReader reader(stub.data(), stub.size());
    const uint32_t magic = reader.u32At(0);
    const uint32_t commandCount = reader.u32At(16);
    const uint32_t commandsSize = reader.u32At(20);
    if (!reader.ok() || magic != 0xFEEDFACFu || !reader.holds(32, commandsSize)) return kStubUnusable;

    const uint64_t padding = (32 - (uint64_t{imageLength} + 4) % 32) % 32;
    const uint64_t added = uint64_t{imageLength} + 4 + padding;
    // The trailing length counts as 4 bytes here while 8 are written: the
    // stubs find the image from the file's end, so the layout stays as it is.
    const uint64_t end = stub.size() + added;
    ByteVector patched = stub;
    ByteWriter fields(patched);
    bool linkEdit = false, symbols = false, fits = true;
    uint64_t at = 32;
    const uint64_t commandsEnd = 32 + uint64_t{commandsSize};
    for (uint32_t i = 0; i < commandCount; ++i) {
        const uint32_t command = reader.u32At(at);
        const uint32_t size = reader.u32At(at + 4);
        if (!reader.ok() || size < 8 || size > commandsEnd - at) return kStubUnusable;
        if (command == 25 && size >= 72) {  // LC_SEGMENT_64
            const uint8_t* name = stub.data() + at + 8;
            static const char kLinkEdit[16] = "__LINKEDIT";
            bool same = true;
            for (int k = 0; k < 16; ++k) same = same && name[k] == static_cast<uint8_t>(kLinkEdit[k]);
            if (same) {
                const uint64_t fileOffset = reader.u64At(at + 40);
                const uint64_t vmSize = reader.u64At(at + 32) + (added & ~uint64_t{0xFFF}) + 0x1000;
                fits = fits && fileOffset <= end && fields.patchU64LE(at + 32, vmSize) &&
                       fields.patchU64LE(at + 48, end - fileOffset);
                linkEdit = true;
            }
        } else if (command == 2 && size >= 24) {  // LC_SYMTAB
            const uint32_t stringsAt = reader.u32At(at + 16);
            fits = fits && stringsAt <= end && end - stringsAt <= UINT32_MAX &&
                   fields.patchU32LE(at + 20, static_cast<uint32_t>(end - stringsAt));
            symbols = true;
        }
        at += size;
    }
    if (!linkEdit || !symbols || !fits || !reader.ok()) return kStubUnusable;

    writer.bytes(patched.data(), patched.size());
    writer.zeros(padding);
    writer.bytes(image, imageLength);
    writer.u64le(imageLength);
    if (debuggable) writer.bytes("kdbg", 4);
    return kStubWritten;
}

uint32_t buildElfOrMachOExecutable(bool machO, const qestl::qestringA& stubPath, const uint8_t* image,
                                   uint32_t imageLength, const qestl::qestringW& outputPath,
                                   const CompileOptions& options, bool useStored) {
    ByteVector stub, buffered;
    // Created as a linker creates its result: 0777 less the umask, or with
    // the bits of the target it replaces. The image goes to the file as it
    // is, not copied into a whole executable first.
    WholeFileWriter file(outputPath, platform::kExecutableFileMode);
    FileSink sink(file);
    ByteWriter writer(buffered);
    writer.spillTo(&sink, kSpillBytes);
    int result = kStubUnreadable;
    if (loadStub(options, stubPath, useStored, targetBits(options), stub)) {
        const bool debuggable = options.debuggable != 0;
        result = machO ? patchMachOStub(stub, image, imageLength, debuggable, writer)
                       : patchElfStub(stub, image, imageLength, debuggable, writer);
    }
    if (result == kStubWritten) {
        writer.spill();
        if (!file.commit()) result = kStubNotWritable;
    }
    return reportElfOrMachOResult(result, outputPath, options);
}

uint32_t reportElfOrMachOResult(int result, const qestl::qestringW& outputPath, const CompileOptions& options) {
    const qestl::qestringA shown = qestl::narrow(outputPath);
    if (result == kStubWritten) {
        std::printf("已生成:%s\n", shown.c_str());
        return 1;
    }
    if (result == kStubNotWritable) {
        printNotWritten(shown);
        return 0;
    }
    printMissingExtension(kExtensionPage);
    std::printf("%s_%s\n生成失败\n", targetOsFolder(options).c_str(), options.processorName.c_str());
    return 0;
}

StreamedExecutable::StreamedExecutable(const qestl::qestringW& outputPath, const CompileOptions& options)
    : outputPath_(outputPath), options_(options), file_(outputPath, platform::kExecutableFileMode) {}

bool StreamedExecutable::begin(const qestl::qestringA& compilerPath, bool knownTarget) {
    qestl::qestringA stubPath;
    int kind = kKindUnknown;
    if (!resolveStubPath(options_, compilerPath, stubPath, kind) || kind != kKindElf ||
        !loadStub(options_, stubPath, usesStoredStub(options_, knownTarget), targetBits(options_), stub_))
        return false;
    // Where ".vm" lies does not depend on the image's length.
    ElfPlacement placed;
    if (placeElfImage(stub_, 0, placed) != kStubWritten) return false;
    imageAt_ = placed.blockAt + kElfPayloadHeadBytes;
    return true;
}

// The stub's bytes before the image stand in for the patched ones until
// `complete` knows the image's length.
void StreamedExecutable::start() {
    if (started_) return;
    started_ = true;
    qestl::writeInPieces(file_, stub_.data(), imageAt_ - kElfPayloadHeadBytes);
    const uint8_t head[kElfPayloadHeadBytes] = {};
    file_.write(head, kElfPayloadHeadBytes);
}

bool StreamedExecutable::open() {
    start();
    return file_.open();
}

uint32_t StreamedExecutable::write(const void* source, uint32_t count) {
    start();
    written_ += count;
    return file_.write(source, count);
}

void StreamedExecutable::expectSize(uint64_t total) {
    start();
    file_.expectSize(imageAt_ + total);
}

bool StreamedExecutable::writesAtPositions() {
    start();
    return file_.writesAtPositions();
}

bool StreamedExecutable::writeAt(uint64_t position, const void* source, uint32_t count) {
    return file_.writeAt(imageAt_ + position, source, count);
}

bool StreamedExecutable::complete() {
    // The stub's length fields take 32 bits: a longer image cannot go in.
    if (written_ > UINT32_MAX) {
        printNotWritten(qestl::narrow(outputPath_));
        std::fflush(stdout);
        return false;
    }
    start();
    const uint32_t imageLength = static_cast<uint32_t>(written_);
    ElfPlacement placed;
    int result = placeElfImage(stub_, imageLength, placed);
    if (result == kStubWritten) {
        ByteVector bytes;
        ByteWriter writer(bytes);
        writer.zeros(elfPayloadPadding(imageLength));
        writeElfTail(placed, options_.debuggable != 0, writer);
        qestl::writeInPieces(file_, bytes.data(), bytes.size());
        bytes.clear();
        appendElfPayloadHead(writer, imageLength, placed.bigEndian);
        // Every byte is in the file before the head is rewritten over it.
        file_.flush();
        const bool patched = file_.writesAtPositions() &&
                             file_.writeAt(0, placed.patched.data(), static_cast<uint32_t>(placed.blockAt)) &&
                             file_.writeAt(placed.blockAt, bytes.data(), static_cast<uint32_t>(bytes.size()));
        if (!patched || !file_.commit()) result = kStubNotWritable;
    }
    const uint32_t reported = reportElfOrMachOResult(result, outputPath_, options_);
    std::fflush(stdout);
    return reported == 1;
}
