// Probe subcommands over the compiled-object model:
//   opcodes               the opcode table: number TAB mnemonic TAB operands
//   crc TEXT [STATE]      crc32Update of TEXT from STATE (hex), as %08x
//   lenstr HEX            readLengthString over the bytes: ok [TEXT] or fail
//   model FILE|-          runs a model script (see model_script.cpp)
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "foundation/crc32.h"
#include "model/library_io.h"
#include "model/opcodes.h"
#include "probe.h"

namespace {

int opcodesCommand(int, char**) {
    size_t count = 0;
    const model::OpcodeRow* rows = model::opcodeRows(count);
    for (size_t i = 0; i < count; ++i) {
        if (rows[i].shape == model::kOperandsRecord)
            std::printf("%u\t%s\trecord\n", rows[i].number, rows[i].mnemonic);
        else
            std::printf("%u\t%s\t%d\n", rows[i].number, rows[i].mnemonic, rows[i].shape);
    }
    return 0;
}

int crcCommand(int argc, char** argv) {
    if (argc < 1 || argc > 2) {
        std::fprintf(stderr, "usage: crc TEXT [STATE]\n");
        return 2;
    }
    const uint32_t state = argc == 2 ? static_cast<uint32_t>(std::strtoul(argv[1], nullptr, 16)) : 0;
    std::printf("%08x\n", qestl::crc32Update(argv[0], std::strlen(argv[0]), state));
    return 0;
}

// Object references are not part of this probe.
class BareReader : public model::LibraryReader {
public:
    using LibraryReader::LibraryReader;
    bool readObjectRef(qestl::SmartPtr&) override { return false; }
    bool readDeclarationTree(_KNode<qeAbstractNode>&) override { return false; }
};

bool parseHex(const char* text, std::string& bytes) {
    const size_t length = std::strlen(text);
    if (length % 2 != 0) return false;
    for (size_t i = 0; i < length; i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        const unsigned long value = std::strtoul(pair, &end, 16);
        if (*end != '\0') return false;
        bytes.push_back(static_cast<char>(value));
    }
    return true;
}

int lenstrCommand(int argc, char** argv) {
    std::string bytes;
    if (argc != 1 || !parseHex(argv[0], bytes)) {
        std::fprintf(stderr, "usage: lenstr HEX\n");
        return 2;
    }
    BareReader reader(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    qestl::qestringA text;
    if (!model::readLengthString(reader, text)) {
        std::printf("fail\n");
        return 0;
    }
    std::printf("ok%s%s\n", text.empty() ? "" : " ", text.c_str());
    return 0;
}

}  // namespace

KORVO_PROBE("opcodes", "", opcodesCommand);
KORVO_PROBE("crc", "TEXT [STATE]", crcCommand);
KORVO_PROBE("lenstr", "HEX", lenstrCommand);
