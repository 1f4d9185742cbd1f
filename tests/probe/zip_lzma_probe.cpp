// Probe subcommands over the ZIP reader and the LZMA glue:
//   lzma c IN OUT | lzma d IN OUT      compress / decompress a file
//   zip ls ARCHIVE                     one line per entry: method, sizes, name
//   zip cat ARCHIVE MEMBER             the member's bytes on standard output
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "foundation/file_stream.h"
#include "foundation/lzma_stream.h"
#include "foundation/zip_archive.h"
#include "foundation/zip_member.h"
#include "probe.h"

namespace {

int fail(const char* what, const char* path) {
    std::fprintf(stderr, "%s: %s\n", what, path);
    return 1;
}

int lzmaCommand(int argc, char** argv) {
    if (argc != 3 || (std::strcmp(argv[0], "c") != 0 && std::strcmp(argv[0], "d") != 0)) {
        std::fprintf(stderr, "usage: lzma c|d IN OUT\n");
        return 2;
    }
    ReadOnlyFileStream input(qestl::widen(argv[1]));
    if (!input.open()) return fail("cannot open", argv[1]);
    FileStream output(qestl::widen(argv[2]));
    if (!output.open()) return fail("cannot create", argv[2]);
    bool compress = argv[0][0] == 'c';
    bool ok = compress ? lzmaCompressStream(output, input) : lzmaDecompressStream(output, input);
    if (!ok) return fail(compress ? "compression failed" : "decompression failed", argv[1]);
    return 0;
}

int zipCommand(int argc, char** argv) {
    bool list = argc == 2 && std::strcmp(argv[0], "ls") == 0;
    bool cat = argc == 3 && std::strcmp(argv[0], "cat") == 0;
    if (!list && !cat) {
        std::fprintf(stderr, "usage: zip ls ARCHIVE | zip cat ARCHIVE MEMBER\n");
        return 2;
    }
    ReadOnlyFileStream file(qestl::widen(argv[1]));
    if (!file.open()) return fail("cannot open", argv[1]);
    ZipArchive archive;
    if (!archive.open(&file)) return fail("not a readable archive", argv[1]);
    if (list) {
        for (const ZipRecord* entry : archive.entries())
            std::printf("%u %" PRIu32 " %" PRIu32 " %s\n", entry->method, entry->compressedSize,
                        entry->uncompressedSize, entry->name.c_str());
        return 0;
    }
    const ZipRecord* entry = archive.find(argv[2]);
    if (entry == nullptr) return fail("no such member", argv[2]);
    ZipMemberReader reader;
    if (!reader.begin(&file, archive.archiveSize(), *entry)) return fail("damaged member", argv[2]);
    static uint8_t buffer[8192];
    for (;;) {
        int64_t got = reader.read(buffer, sizeof buffer);
        if (got < 0) {
            std::fprintf(stderr, "read error %" PRId64 ": %s\n", got, argv[2]);
            return 1;
        }
        if (got == 0) break;
        std::fwrite(buffer, 1, static_cast<size_t>(got), stdout);
    }
    return 0;
}

}  // namespace

KORVO_PROBE("lzma", "c|d IN OUT", lzmaCommand);
KORVO_PROBE("zip", "ls ARCHIVE | cat ARCHIVE MEMBER", zipCommand);
