#include "image/debug_record.h"

#include <algorithm>
#include <cstring>

#include "image/image_header.h"
#include "model/ircode.h"
#include "model/opcodes.h"
#include "model/operand.h"

namespace {

void countOperand(qestl::ByteWriter& out, uint64_t count) {
    out.u32le((model::kTypeInt << 24) | model::kImmInt);
    out.u64le(count);
}

// u32 length + 1, the bytes and a zero byte, made at once: three writes
// each checked the writer's room and threshold, for every name of every
// function.
void text(qestl::ByteWriter& out, std::string_view value) {
    out.made(5 + value.size(), [value](uint8_t* at) {
        qestl::storeU32LE(at, static_cast<uint32_t>(value.size() + 1));
        if (!value.empty()) std::memcpy(at + 4, value.data(), value.size());
        at[4 + value.size()] = 0;
    });
}

uint64_t textBytes(std::string_view value) { return 5 + value.size(); }

// A function's entry after its address and this length, which counts both.
uint64_t functionEntryBytes(const DebugFunctionRecord& function) {
    uint64_t frameBytes = 0;
    for (std::string_view name : function.frameNames) frameBytes += textBytes(name);
    return 12 + textBytes(function.name) + textBytes(function.linkName) + 8 + frameBytes;
}

}  // namespace

uint64_t debugRecordBytes(const DebugRecord& record) {
    uint64_t bytes = 4 + 4 * 12 + 24 * record.lineCount;
    for (const std::string& file : record.files) bytes += textBytes(file);
    bytes += record.variableCount * textBytes({}) + record.variableCount * 8 + record.variableNameBytes;
    if (record.forEachFunctionRun) {
        record.forEachFunctionRun([&bytes](DebugRecord::FunctionRun run) {
            for (const DebugFunctionRecord& function : run) bytes += functionEntryBytes(function);
        });
    }
    return bytes;
}

uint64_t encodeDebugRecord(const DebugRecord& record, qestl::ByteWriter& out) {
    const size_t start = out.position();
    out.u32le(model::kOpDebuginfo);
    countOperand(out, record.files.size());
    countOperand(out, record.lineCount);
    countOperand(out, record.variableCount);
    countOperand(out, record.functionCount);
    for (const std::string& file : record.files) text(out, file);
    uint64_t made = 0;
    if (record.forEachLineRun)
        record.forEachLineRun([&](DebugRecord::LineRun lines) {
            // A run is made in the writer's buffer at once.
            constexpr size_t kLineBytes = 24;
            out.made(lines.size() * kLineBytes, [lines](uint8_t* at) {
                for (const DebugLineRecord& line : lines) {
                    qestl::storeU64LE(at, line.address - kImageBodyStart);
                    qestl::storeU64LE(at + 8, (uint64_t{line.file & 0xFFFF} << 48) |
                                                  (uint64_t{line.line & 0xFFFFFF} << 24) | (line.column & 0xFFFFFF));
                    qestl::storeU64LE(at + 16, line.owner);
                    at += kLineBytes;
                }
            });
            made += lines.size();
        });
    // The count went out first: any other number of lines would shift
    // everything behind them.
    if (made != record.lineCount)
        model::internalFault("internal error: %llu debug lines announced, %llu made",
                             static_cast<unsigned long long>(record.lineCount), static_cast<unsigned long long>(made));
    uint64_t variables = 0;
    if (record.forEachVariableRun) {
        record.forEachVariableRun([&](DebugRecord::VariableRun run) {
            for (const DebugVariableRecord& variable : run) {
                out.u64le(variable.address - kImageBodyStart);
                text(out, variable.name);
            }
            variables += run.size();
        });
    }
    if (variables != record.variableCount)
        model::internalFault("internal error: %llu debug variables announced, %llu made",
                             static_cast<unsigned long long>(record.variableCount),
                             static_cast<unsigned long long>(variables));
    uint64_t functions = 0;
    if (record.forEachFunctionRun) {
        record.forEachFunctionRun([&](DebugRecord::FunctionRun run) {
            for (const DebugFunctionRecord& function : run) {
                out.u64le(function.address);
                out.u32le(static_cast<uint32_t>(functionEntryBytes(function)));
                text(out, function.name);
                text(out, function.linkName);
                out.u32le(function.word);
                out.u32le(static_cast<uint32_t>(function.frameNames.size()));
                for (std::string_view name : function.frameNames) text(out, name);
            }
            functions += run.size();
        });
    }
    if (functions != record.functionCount)
        model::internalFault("internal error: %llu debug functions announced, %llu made",
                             static_cast<unsigned long long>(record.functionCount),
                             static_cast<unsigned long long>(functions));
    return out.position() - start;
}
