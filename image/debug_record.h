// The "debuginfo" record (opcode 162) near the end of a program image: the
// source files, the code address of every instruction with a source
// position, the program's globals and its compiled functions, so the runtime
// can map addresses back to sources and name what it finds.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/byte_io.h"

struct DebugLineRecord {
    uint64_t address;  // image address of the instruction
    uint32_t file;
    uint32_t line;    // counted from 0
    uint32_t column;  // counted from 0
    uint64_t owner;   // image address of the owning function's code, or all ones
};

// The name is the global's own, read where it lies: the model outlives the
// record.
struct DebugVariableRecord {
    uint64_t address;
    std::string_view name;
};

// The texts are read where they lie, as a global's name is: a program of a
// million methods held a copy of each name and link name at the peak.
struct DebugFunctionRecord {
    uint64_t address;  // the function's first instruction
    std::string_view name;
    std::string_view linkName;
    uint32_t word = 0;
    std::span<const std::string> frameNames;  // locals and parameters in frame order
};

inline constexpr uint64_t kNoDebugOwner = ~uint64_t{0};

// The lines of the instructions with a source position, held compact until
// the debug record writes them: a few bytes a line rather than the 24 it
// takes there (tens of megabytes at the peak of a large compilation). Each
// line is kept as its steps from the line before.
class DebugLineLog {
public:
    void add(const DebugLineRecord& line) {
        uint8_t* at = room();
        const bool changed = line.file != last_.file || line.owner != last_.owner;
        at = putVarint(at, zigzag(static_cast<int64_t>(line.address - last_.address)));
        at = putVarint(at, zigzag(int64_t{line.line} - int64_t{last_.line}) << 1 | (changed ? 1 : 0));
        at = putVarint(at, line.column);
        if (changed) {
            at = putVarint(at, line.file);
            at = putVarint(at, line.owner + 1);
        }
        chunks_.back().used = static_cast<size_t>(at - chunks_.back().bytes.get());
        last_ = line;
        ++count_;
    }

    uint64_t size() const { return count_; }

    // Calls take with the lines in the order they were added, some hundreds
    // at a time.
    template <typename Take>
    void forEachRun(Take&& take) const {
        constexpr size_t kRun = 256;
        DebugLineRecord run[kRun];
        size_t held = 0;
        DebugLineRecord line{};
        for (const Chunk& chunk : chunks_) {
            const uint8_t* at = chunk.bytes.get();
            const uint8_t* end = at + chunk.used;
            while (at < end) {
                line.address += static_cast<uint64_t>(unzigzag(getVarint(at)));
                const uint64_t lineStep = getVarint(at);
                line.line = static_cast<uint32_t>(int64_t{line.line} + unzigzag(lineStep >> 1));
                line.column = static_cast<uint32_t>(getVarint(at));
                if (lineStep & 1) {
                    line.file = static_cast<uint32_t>(getVarint(at));
                    line.owner = getVarint(at) - 1;
                }
                run[held++] = line;
                if (held == kRun) {
                    take(std::span<const DebugLineRecord>(run, held));
                    held = 0;
                }
            }
        }
        if (held != 0) take(std::span<const DebugLineRecord>(run, held));
    }

private:
    static constexpr size_t kChunkBytes = size_t{1} << 18;
    static constexpr size_t kMostLineBytes = 40;

    struct Chunk {
        std::unique_ptr<uint8_t[]> bytes;
        size_t used = 0;
    };

    static uint64_t zigzag(int64_t v) { return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63); }
    static int64_t unzigzag(uint64_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }
    static uint8_t* putVarint(uint8_t* at, uint64_t v) {
        while (v >= 0x80) {
            *at++ = static_cast<uint8_t>(v | 0x80);
            v >>= 7;
        }
        *at++ = static_cast<uint8_t>(v);
        return at;
    }
    static uint64_t getVarint(const uint8_t*& at) {
        uint64_t v = 0;
        for (int shift = 0;; shift += 7) {
            const uint8_t b = *at++;
            v |= uint64_t{b & 0x7Fu} << shift;
            if (b < 0x80) return v;
        }
    }
    // In pieces that never move: a large log is not copied as it grows.
    uint8_t* room() {
        if (chunks_.empty() || kChunkBytes - chunks_.back().used < kMostLineBytes)
            chunks_.push_back(Chunk{std::make_unique_for_overwrite<uint8_t[]>(kChunkBytes), 0});
        return chunks_.back().bytes.get() + chunks_.back().used;
    }

    std::vector<Chunk> chunks_;
    DebugLineRecord last_{};
    uint64_t count_ = 0;
};

struct DebugRecord {
    std::vector<std::string> files;  // by file index, written with '/'
    // The lines are announced before they are made: counted when the
    // records were placed.
    uint64_t lineCount = 0;
    // Fills `lines`. A walk over every record of a large program that waits
    // for each, and nothing of the image depends on it until the debug
    // record: the layout runs it beside the encoding of the code, on a
    // thread of its own.
    std::function<void(DebugLineLog& lines)> noteLines;
    DebugLineLog lines;
    // The globals are read where they lie as the record is written, some
    // hundreds at a time: a program of a million classes has two million
    // (holders and classes), and a list of them took 48 MB at the peak.
    // Their number and the bytes of their names are counted beforehand.
    uint64_t variableCount = 0;
    uint64_t variableNameBytes = 0;
    using VariableRun = std::span<const DebugVariableRecord>;
    std::function<void(const std::function<void(VariableRun)>& take)> forEachVariableRun;
    // The functions too, some hundreds at a time, made from the compiler's
    // table as they are read, once for the size and once for the bytes: a
    // list of them took 64 bytes a function at the peak.
    uint64_t functionCount = 0;
    using FunctionRun = std::span<const DebugFunctionRecord>;
    std::function<void(const std::function<void(FunctionRun)>& take)> forEachFunctionRun;
};

// The bytes the encoded record takes.
uint64_t debugRecordBytes(const DebugRecord& record);

// Appends the encoded record; returns the bytes written. Line and variable
// addresses are stored less the body's start (192); file indexes keep their
// low 16 bits, lines and columns their low 24.
uint64_t encodeDebugRecord(const DebugRecord& record, qestl::ByteWriter& out);
