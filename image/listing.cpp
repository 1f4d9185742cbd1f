#include "image/listing.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "foundation/byte_io.h"
#include "foundation/stream.h"
#include "foundation/whole_file.h"
#include "image/compressed_image.h"
#include "image/image_header.h"
#include "image/listing_records.h"
#include "model/opcodes.h"
#include "model/record_dumps.h"

namespace {

using qestl::loadU32LE;
using qestl::loadU64LE;

constexpr uint64_t kOperandBytes = 12;

uint32_t low(uint64_t v) { return static_cast<uint32_t>(v); }
uint32_t high(uint64_t v) { return static_cast<uint32_t>(v >> 32); }
int32_t low32(int64_t v) { return static_cast<int32_t>(static_cast<uint32_t>(v)); }

const char* const kTypeSuffixes[] = {"",        "<byte>", "<char>", "<short>", "<int>",  "<long>", "<float>",
                                     "<double>", "<bool>", "<string>", "<type>", "<arc>", "<ptr>"};

void appendSuffix(std::string& out, uint32_t dataType) {
    // 13 and above have no suffix: the writer itself uses 16 and 17.
    if (dataType < sizeof kTypeSuffixes / sizeof kTypeSuffixes[0]) out.append(kTypeSuffixes[dataType]);
}

void appendHex8(std::string& out, uint32_t value) {
    char digits[8];
    for (int i = 7; i >= 0; --i, value >>= 4) digits[i] = "0123456789ABCDEF"[value & 15];
    out.append(digits, 8);
}

// "0x%08X-%08X" without a formatter: every line of the listing starts with
// one.
void appendAddress(std::string& out, const char* prefix, uint64_t address) {
    out.append(prefix);
    out.append("0x");
    appendHex8(out, low(address));
    out.push_back('-');
    appendHex8(out, high(address));
}

// Floating-point values are printed by the house formatter, whose digits
// differ from the C library's.
template <typename... Args>
void appendHouseFormat(std::string& out, const char* format, Args... args) {
    const qestl::qestringA text = qestl::qestringA::format(format, args...);
    out.append(text.c_str(), text.length());
}

// A relative operand counts from the end of its record (the writer fixes it
// up so), whatever the opcode: `initarray` and the other records of several
// operands included.
void formatOperand(std::string& out, uint32_t word, int64_t value, uint64_t recordEnd) {
    const uint32_t kind = word & 0xFFFFFF;
    const uint64_t target = recordEnd + static_cast<uint64_t>(value);
    const long long wide = static_cast<long long>(value);
    switch (kind) {
        case 0: out.append("nilptr"); break;
        case 1: model::appendf(out, "(byte)%d", low32(value)); break;
        case 2:
            out.append("(char)");
            out.append(reinterpret_cast<const char*>(&value), 1);
            model::appendf(out, "[%d]", low32(value));
            break;
        case 3: model::appendf(out, "(short)%d", low32(value)); break;
        case 4: model::appendf(out, "(int32)%d", low32(value)); break;
        case 5: model::appendf(out, "%lld", wide); break;
        case 6: {
            float f;
            const uint32_t bits = low(static_cast<uint64_t>(value));
            std::memcpy(&f, &bits, 4);
            appendHouseFormat(out, "%.6f [LONG64=%08X%08X]", static_cast<double>(f), high(value), low(value));
            break;
        }
        case 7: {
            double d;
            std::memcpy(&d, &value, 8);
            appendHouseFormat(out, "%.15f [LONG64=%08X%08X]", d, high(value), low(value));
            break;
        }
        case 8: out.append(value != 0 ? "true" : "false"); break;
        case 9: model::appendf(out, "stack[%lld]", wide); break;
        case 10: model::appendf(out, "heap[%lld]", wide); break;
        case 11: model::appendf(out, "closesure[%lld]", wide); break;
        case 12: model::appendf(out, "this[%d]", low32(value)); break;
        case 13: model::appendf(out, "class ptr [this + %lld]", wide); break;
        case 14: model::appendf(out, "object ptr [this + %lld]", wide); break;
        case 15: model::appendf(out, "static object ptr [this + %lld]", wide); break;
        case 16: model::appendf(out, "method ptr [this + %lld]", wide); break;
        case 19:
            appendAddress(out, "offset:", target);
            model::appendf(out, "[%d]", low32(value));
            break;
        case 20: out.append("exception reg"); break;
        case 21:
            if (value >= 0 && value <= 3) {
                static const char* const kRegisters[] = {"eax", "ebx", "ecx", "edx"};
                out.append(kRegisters[value]);
            } else {
                model::appendf(out, "unknow:%d, %lld", static_cast<int>(kind), wide);
            }
            break;
        case 23: model::appendf(out, "typeid:%d", low32(value)); break;
        case 24: appendAddress(out, "String offset:", target); break;
        case 25:
        case 26: appendAddress(out, "address:", static_cast<uint64_t>(value)); break;
        case 30: appendAddress(out, "resource ptr offset:", target); break;
        case 31: model::appendf(out, "SysClass[%d]", low32(value)); break;
        case 32: model::appendf(out, "CC[%d]", low32(value)); break;
        default: model::appendf(out, "unknow:%d, %lld", static_cast<int>(kind), wide); break;
    }
    appendSuffix(out, word >> 24);
}

class Lister {
public:
    // Records are listed into a piece of text that goes on to the output
    // whenever it has grown past model::kListingPieceBytes: a listing is
    // about 2.3 times its image, and built whole it took three times that
    // again in memory.
    Lister(const uint8_t* image, uint64_t size, qestl::qeistream& sink) : image_(image), size_(size), sink_(sink) {
        out_.reserve(2 * model::kListingPieceBytes);
    }

    // True when the whole range was listed; what was listed up to a damage
    // is written all the same.
    bool run() {
        const bool whole = records();
        pass();
        return whole;
    }

private:
    bool records() {
        uint64_t at = kImageBodyStart;
        while (at < size_) {
            if (out_.size() >= model::kListingPieceBytes) pass();
            if (!fits(at, 4)) return false;
            const uint32_t opcode = loadU32LE(image_ + at) & 0x0FFFFFFF;
            appendAddress(out_, "\n", at);
            out_.append(" : ");
            if (opcode == model::kOpDebuginfo) {
                out_.append(model::findOpcode(opcode)->mnemonic);
                return true;
            }
            const uint64_t next = record(at, opcode);
            if (next <= at) return false;
            at = next;
        }
        return true;
    }

    void pass() {
        qestl::writeInPieces(sink_, out_.data(), out_.size());
        out_.clear();
    }

    bool fits(uint64_t at, uint64_t length) const { return at <= size_ && length <= size_ - at; }
    int64_t i64At(uint64_t at) const { return static_cast<int64_t>(loadU64LE(image_ + at)); }

    // The address after the record at `at`, or `at` itself when it is
    // damaged.
    uint64_t record(uint64_t at, uint32_t opcode) {
        switch (opcode) {
            case model::kOpHeap:
            case model::kOpClassRecord:
            case model::kOpNativeImport:
                return listTableRecord(image_, size_, at, opcode, out_, [this](std::string&) { pass(); });
            case model::kOpResource: return resource(at);
            case model::kOpSymbolTable: return symbolTable(at);
            case model::kOpRelocationTable:
            case model::kOpImportModuleTable: return table(at, opcode);
            default: break;
        }
        const model::OpcodeRow* row = model::findOpcode(opcode);
        if (row == nullptr || row->mnemonic[0] == 0 || row->shape < 0) return at + 4;
        const uint64_t count = static_cast<uint64_t>(row->shape);
        const uint64_t length = 4 + kOperandBytes * count;
        if (!fits(at, length)) return at;
        out_.append(row->mnemonic);
        for (uint64_t i = 0; i < count; ++i) {
            if (i != 0) out_.append(", ");
            const uint64_t operand = at + 4 + kOperandBytes * i;
            formatOperand(out_, loadU32LE(image_ + operand), i64At(operand + 4), at + length);
        }
        // The reflection table behind a reflex record is no record: its
        // length is the operand's value.
        if (opcode == model::kOpReflex) {
            const int64_t table = i64At(at + 8);
            if (table < 0 || !fits(at + length, static_cast<uint64_t>(table))) return at;
            return at + length + static_cast<uint64_t>(table);
        }
        return at + length;
    }

    uint64_t resource(uint64_t at) {
        const uint64_t head = 4 + 2 * kOperandBytes;
        if (!fits(at, head)) return at;
        const uint32_t word = loadU32LE(image_ + at + 16);
        const uint32_t kind = word & 0xFFFFFF;
        const int64_t length = i64At(at + 20);
        const uint64_t data = at + head;
        const uint64_t terminator = kind == 0 ? 1 : 0;
        if (length < 0 || !fits(data, static_cast<uint64_t>(length)) ||
            !fits(data + static_cast<uint64_t>(length), terminator))
            return at;
        out_.append(model::findOpcode(model::kOpResource)->mnemonic);
        formatOperand(out_, loadU32LE(image_ + at + 4), i64At(at + 8), at + head);
        model::appendf(out_, ", type:%d, length:%lld(byte)", static_cast<int>(kind), static_cast<long long>(length));
        if (kind == 0) {
            out_.append("[");
            for (uint64_t i = 0; i < static_cast<uint64_t>(length); ++i) {
                const char c = static_cast<char>(image_[data + i]);
                if (c == 0) break;
                if (c == '\r') out_.append("\\r");
                else if (c == '\n') out_.append("\\n");
                else if (c == '\t') out_.append("\\t");
                else out_.append(&c, 1);
            }
            out_.append("]");
        }
        appendSuffix(out_, word >> 24);
        return data + static_cast<uint64_t>(length) + terminator;
    }

    uint64_t symbolTable(uint64_t at) {
        if (!fits(at, 12)) return at;
        const uint64_t total = loadU64LE(image_ + at + 4);
        if (total < 12 || !fits(at, total)) return at;
        model::appendf(out_, "SYMBOLTABLE = 0x%08X", low(total));
        return at + total;
    }

    // A name a table entry refers to: NUL-terminated inside the image.
    // Shown as far as a listing line goes: a table of thousands of entries
    // naming one long text would otherwise list that text thousands of
    // times (a 170 KB image gave 110 MB of listing).
    bool nameAt(uint64_t address, std::string_view& name) const {
        if (address >= size_) return false;
        const uint64_t most = std::min<uint64_t>(size_ - address, model::kLineBytes);
        const void* end = std::memchr(image_ + address, 0, most);
        if (end == nullptr && most == size_ - address) return false;
        const uint64_t length = end != nullptr ? static_cast<const uint8_t*>(end) - (image_ + address) : most;
        name = std::string_view(reinterpret_cast<const char*>(image_ + address), static_cast<size_t>(length));
        return true;
    }

    // The relocation (164) and import module (165) tables: a head whose
    // count is the u64 at +8, entries at a fixed spacing, each naming a
    // string resource through its operand 0 (the text lies 28 bytes into
    // the resource record that the operand's value reaches from the entry's
    // end). The address after the table, or `at` when damaged.
    uint64_t table(uint64_t at, uint32_t opcode) {
        const bool relocations = opcode == model::kOpRelocationTable;
        const uint64_t head = relocations ? 32 : 16, spacing = relocations ? 64 : 16, record = relocations ? 28 : 16;
        if (!fits(at, head)) return at;
        const uint64_t count = loadU64LE(image_ + at + 8);
        if (count > (size_ - at - head) / spacing) return at;
        out_.append(relocations ? "Relocation Table\n" : "Import Module Table\n");
        std::string_view name;
        for (uint64_t i = 0; i < count; ++i) {
            const uint64_t entry = at + head + spacing * i;
            if (!nameAt(entry + record + 28 + loadU64LE(image_ + entry + 8), name)) return at;
            if (relocations)
                model::appendf(out_, "0x%08X-%08X : Relocation[%d]:[CRC:0x%08X] ", low(entry + 32), high(entry + 32),
                                  static_cast<int>(i), loadU32LE(image_ + entry + 20));
            else
                model::appendf(out_, "0x%08X-%08X : module[%d]: ", low(entry + 16), high(entry + 16), static_cast<int>(i));
            out_.append(name);
            out_.append(" \n");
        }
        return at + head + spacing * count;
    }

    const uint8_t* image_;
    uint64_t size_;
    qestl::qeistream& sink_;
    std::string out_;
};

// Standard output as a stream: the listing goes out as it is made.
class StdOutStream final : public qestl::qeistream {
public:
    uint32_t write(const void* source, uint32_t count) override {
        return static_cast<uint32_t>(std::fwrite(source, 1, count, stdout));
    }
};

}  // namespace

bool disassemble(const uint8_t* image, uint64_t size, qestl::qeistream& out) {
    qestl::qeByteStream plain;
    if (!restoreProgramImage(image, size, plain)) return false;
    return Lister(plain.data(), plain.size(), out).run();
}

bool listCompiledFile(const qestl::qestringW& input, const qestl::qestringW& output) {
    const qestl::qestringA inputName = qestl::narrow(input);
    qestl::ByteVector bytes;
    if (!readWholeFile(input, bytes)) {
        std::printf("can't open file:\n%s\n", inputName.c_str());
        return false;
    }
    const qestl::qestringA outputName = qestl::narrow(output);
    if (output.empty() || std::strcmp(outputName.c_str(), "stdout") == 0) {
        StdOutStream console;
        const bool whole = disassemble(bytes.data(), bytes.size(), console);
        console.write("\n", 1);
        if (whole) return true;
        std::printf("损坏的程序文件: %s\n", inputName.c_str());
        return false;
    }
    // A damaged image leaves no file: the writer is abandoned uncommitted.
    WholeFileWriter file(output);
    if (!disassemble(bytes.data(), bytes.size(), file)) {
        std::printf("损坏的程序文件: %s\n", inputName.c_str());
        return false;
    }
    if (!file.commit()) {
        std::printf("can't open file:\n%s", outputName.c_str());
        return false;
    }
    std::printf("\n已写入文件:%s", outputName.c_str());
    return true;
}
