// The "debuginfo" record (opcode 162) near the end of a program image: the
// source files, the code address of every instruction with a source
// position, the program's globals and its compiled functions, so the runtime
// can map addresses back to sources and name what it finds.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "foundation/byte_io.h"

struct DebugLineRecord {
    uint64_t address;  // image address of the instruction
    uint32_t file;
    uint32_t line;    // counted from 0
    uint32_t column;  // counted from 0
    uint64_t owner;   // image address of the owning function's code, or all ones
};

struct DebugVariableRecord {
    uint64_t address;
    std::string name;
};

struct DebugFunctionRecord {
    uint64_t address;  // the function's first instruction
    std::string name;
    std::string linkName;
    uint32_t word = 0;
    std::vector<std::string> frameNames;  // locals and parameters in frame order
};

struct DebugRecord {
    std::vector<std::string> files;  // by file index, written with '/'
    // A compiled program's lines are not held beside the image being written
    // (tens of bytes per instruction, at the peak of the compilation): these
    // many are made a run at a time as they are encoded (a call per line
    // cost more than the line's encoding).
    uint64_t lineCount = 0;
    using LineRun = std::span<const DebugLineRecord>;
    std::function<void(const std::function<void(LineRun)>& take)> streamLines;
    std::vector<DebugVariableRecord> variables;
    std::vector<DebugFunctionRecord> functions;
};

inline constexpr uint64_t kNoDebugOwner = ~uint64_t{0};

// Appends the encoded record; returns the bytes written. Line and variable
// addresses are stored less the body's start (192); file indexes keep their
// low 16 bits, lines and columns their low 24.
uint64_t encodeDebugRecord(const DebugRecord& record, qestl::ByteWriter& out);
