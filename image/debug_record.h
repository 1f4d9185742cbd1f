// The "debuginfo" record (opcode 162) near the end of a program image: the
// source files, the code address of every instruction with a source
// position, the program's globals and its compiled functions, so the runtime
// can map addresses back to sources and name what it finds.
#pragma once

#include <cstdint>
#include <functional>
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
    std::span<const std::string_view> frameNames;  // locals and parameters in frame order
};

inline constexpr uint64_t kNoDebugOwner = ~uint64_t{0};

struct DebugRecord {
    std::vector<std::string> files;  // by file index, written with '/'
    // The lines are announced before they are made: counted when the
    // records were placed.
    uint64_t lineCount = 0;
    // The lines, some hundreds at a time, read off the records as the
    // record is written: kept from a walk beside the encoding of the code,
    // even a few bytes a line came to tens of megabytes at the peak.
    using LineRun = std::span<const DebugLineRecord>;
    std::function<void(const std::function<void(LineRun)>& take)> forEachLineRun;
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
