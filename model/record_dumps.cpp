#include "model/record_dumps.h"

#include <algorithm>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "foundation/byte_io.h"

namespace model {

void appendf(std::string& out, const char* format, ...) {
    char line[kLineBytes];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n > 0) out.append(line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
}

namespace {

uint32_t low(uint64_t address) { return static_cast<uint32_t>(address); }
uint32_t high(uint64_t address) { return static_cast<uint32_t>(address >> 32); }

// A reader positioned at an address of the view.
qestl::ByteReader readerAt(const ImageView& image, uint64_t at) {
    qestl::ByteReader in(image.data, image.size);
    if (at < image.base || !in.seek(at - image.base)) in.seek(image.size + 1);
    return in;
}

constexpr uint32_t kTagVariable = 18, kTagFunction = 23, kTagClass = 31, kTagBuiltinReference = 32;
constexpr uint64_t kEntrySize = 64;

}  // namespace

std::string ImageView::textAt(uint64_t address, uint64_t length) const {
    // No line shows more than its first kLineBytes - 1 bytes: taking no more
    // keeps a table whose many entries all name one long text linear.
    if (length != 0 && contains(address, length))
        return std::string(reinterpret_cast<const char*>(data + (address - base)), std::min<uint64_t>(length, kLineBytes));
    if (length == 0 && address >= base && address - base < size) {
        const char* start = reinterpret_cast<const char*>(data + (address - base));
        const size_t most = std::min<uint64_t>(size - (address - base), kLineBytes);
        size_t n = 0;
        while (n < most && start[n] != 0) ++n;
        return std::string(start, n);
    }
    return textOutside ? textOutside(address, length) : std::string();
}

uint64_t dumpContainer(std::string& out, const ImageView& image, uint64_t at, const char* title, bool listedStatic) {
    qestl::ByteReader in = readerAt(image, at);
    const uint32_t kind = in.u32le();
    const uint32_t count = in.u32le();
    if (!in.ok() || !in.fitsRemaining(count, kEntrySize)) return at;
    appendf(out, "0x%08X-%08X : %s %d\n", low(at), high(at), title, static_cast<int>(kind));
    appendf(out, "0x%08X-%08X : %s COUNT:%d\n", low(at + 4), high(at + 4), title, static_cast<int>(count));
    if (kind == 0) out += "templateclass\n";
    uint64_t entry = at + 8;
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        const uint32_t tag = in.u32le();
        const uint64_t nameOffset = in.u64le();
        const uint32_t nameLength = in.u32le();
        const uint64_t pathOffset = in.u64le();
        const uint32_t pathLength = in.u32le();
        in.u32le();
        const uint64_t body = entry + 32;
        const uint64_t value = in.u64le();
        if (!in.ok()) break;
        // A string reference counts from the end of its 12 bytes.
        const std::string name = image.textAt(entry + 4 + nameOffset - 12, nameLength);
        const std::string path = image.textAt(entry + 16 + pathOffset - 12, pathLength);
        appendf(out, "0x%08X-%08X : %s %d:[%s]\n", low(entry), high(entry), title, static_cast<int>(i), name.c_str());
        appendf(out, "0x%08X-%08X : %s %d path:[%s]\n", low(entry + 16), high(entry + 16), title, static_cast<int>(i),
                path.c_str());
        uint64_t size = kEntrySize;
        if (tag == kTagVariable && listedStatic) {
            const uint64_t target = body + value;
            appendf(out, "0x%08X-%08X : [link 0x%08X-%08X: %s<%d>]\n", low(body), high(body), low(target),
                    high(target), name.c_str(), static_cast<int>(tag));
        } else if (tag == kTagVariable) {
            appendf(out, "0x%08X-%08X : [Object: %s<%d>]\n", low(body), high(body), name.c_str(), static_cast<int>(tag));
        } else if (tag == kTagClass) {
            const uint64_t target = body + value;
            appendf(out, "0x%08X-%08X : refclass to 0x%08X-%08X \n", low(body), high(body), low(target), high(target));
        } else if (tag == kTagBuiltinReference) {
            appendf(out, "0x%08X-%08X : refsysclass to %lld \n", low(body), high(body), static_cast<long long>(value));
        } else if (tag == kTagFunction) {
            // The body starts with the function's own record: its opcode
            // tells a native import (opcode 3, 64 bytes) from the others.
            const uint32_t opcode = static_cast<uint32_t>(value);
            size += opcode == 3 ? 64 : 32;
            appendf(out, "0x%08X-%08X : [link 0x%08X-%08X: %s<%d>]\n", low(body), high(body), low(body), high(body),
                    name.c_str(), static_cast<int>(opcode));
        }
        in.skip(size - 40);
        entry += size;
        if (image.handOn && out.size() >= kListingPieceBytes) image.handOn(out);
    }
    return in.ok() ? entry : at;
}

uint64_t dumpClassObjectRecord(std::string& out, const ImageView& image, uint64_t at) {
    qestl::ByteReader in = readerAt(image, at);
    in.u32le();
    uint32_t words[9];
    int64_t values[9];
    for (int i = 0; i < 9; ++i) {
        words[i] = in.u32le();
        values[i] = static_cast<int64_t>(in.u64le());
    }
    const int32_t typeCode = static_cast<int32_t>(in.u32le());
    if (!in.ok()) return at;
    const uint64_t size = static_cast<uint64_t>(values[1]) & 0xFFFFFFFFu;
    const uint32_t hash = static_cast<uint32_t>(static_cast<uint64_t>(values[1]) >> 32);
    const uint64_t end = at + size;
    auto operandAt = [&](int i) { return at + 4 + 12 * static_cast<uint64_t>(i); };
    auto target = [&](int i) { return end + static_cast<uint64_t>(values[i]); };
    auto offsetLine = [&](int i, const char* label) {
        appendf(out, "0x%08X-%08X : %s offset:(%lld) ==> 0x%08X-%08X\n", low(operandAt(i)), high(operandAt(i)), label,
                static_cast<long long>(values[i]), low(target(i)), high(target(i)));
    };
    out += "class object\n";
    appendf(out, "0x%08X-%08X : Class Object[CRC:0x%08X] Pointer link to 0x%08X-%08X\n", low(operandAt(0)),
            high(operandAt(0)), hash, low(target(0)), high(target(0)));
    appendf(out, "0x%08X-%08X : Object Length:%ld\n", low(operandAt(1)), high(operandAt(1)), static_cast<long>(size));
    // Operand 2 reaches the string resource record; its text follows the
    // record head (opcode and two operands).
    const std::string name = image.textAt(target(2) + 28, 0);
    appendf(out, "0x%08X-%08X : namestring offset:(%lld) ==> 0x%08X-%08X[%s]\n", low(operandAt(2)), high(operandAt(2)),
            static_cast<long long>(values[2]), low(target(2)), high(target(2)), name.c_str());
    offsetLine(3, "instance");
    offsetLine(4, "finalize");
    if (words[5] == 31)
        appendf(out, "0x%08X-%08X : baseclass sysclass:(%d) \n", low(operandAt(5)), high(operandAt(5)),
                static_cast<int>(values[5]));
    else
        offsetLine(5, "baseclass");
    offsetLine(6, "path");
    offsetLine(7, "import table");
    offsetLine(8, "import handle");
    appendf(out, "0x%08X-%08X : podid : %d\n", low(at + 112), high(at + 112), static_cast<int>(typeCode));
    uint64_t next = at + 116;
    const char* titles[] = {"DYNAMIC_METHOD", "STATIC_METHOD", "DYNAMIC_PROPERTIES", "STATIC_PROPERTIES",
                            "Anonymous_PROPERTIES"};
    for (int i = 0; i < 5; ++i) {
        const uint64_t after = dumpContainer(out, image, next, titles[i], i == 3);
        if (after == next) return at;
        next = after;
    }
    return next;
}

uint64_t dumpImportModule(std::string& out, const ImageView& image, uint64_t at) {
    qestl::ByteReader in = readerAt(image, at);
    const int64_t tableSize = static_cast<int64_t>(in.u64le());
    const uint32_t length = in.u32le();
    if (!in.ok() || !in.fitsRemaining(length, 1)) return at;
    const std::string library = image.textAt(at + 12, length);
    appendf(out, "0x%08X-%08X : %s TABLESIZE = %lld\n", low(at), high(at), "NATIVE IMPORT",
            static_cast<long long>(tableSize));
    appendf(out, "0x%08X-%08X : %s %s\n", low(at + 8), high(at + 8), "NATIVE IMPORT", library.c_str());
    const uint64_t members = at + 12 + length;
    const uint64_t after = dumpContainer(out, image, members, "NATIVE IMPORT", false);
    return after == members ? at : after;
}

uint64_t dumpImportTable(std::string& out, const ImageView& image, uint64_t at) {
    qestl::ByteReader in = readerAt(image, at);
    in.u32le();
    const uint32_t count = in.u32le();
    if (!in.ok()) return at;
    appendf(out, "0x%08X-%08X : %s %d\n", low(at), high(at), "NATIVE IMPORT", static_cast<int>(count));
    uint64_t next = at + 8;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t after = dumpImportModule(out, image, next);
        if (after == next) return at;
        next = after;
    }
    return next;
}

}  // namespace model
