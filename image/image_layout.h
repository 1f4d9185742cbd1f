// The program image laid out: prefix and header, the seven section
// values, then every record at the address it was given, the name strings,
// the debug record and the reflection table.
#pragma once

#include <cstdint>
#include <functional>

#include "codegen/image_parts.h"
#include "foundation/byte_io.h"
#include "foundation/stream.h"
#include "foundation/vector.h"
#include "image/debug_record.h"
#include "model/name_string_pool.h"

// The header fields the writer chooses; the end address and the checksums
// are the layout's.
struct ImageHeaderValues {
    uint64_t version = 0;
    uint64_t options = 0;  // bit 0 compressed, bit 1 a shared module
    uint64_t timeStamp = 0;
    // With -z the raw block's length, else the address of the instruction
    // the context's exception operand refers to (0 when none).
    uint64_t rawBlockLength = 0;
    uint32_t language = 0;
};

// Writes the resource records from address `at` on; the bytes written, or
// the first failure (negative).
using ResourceRecordWriter = std::function<int64_t(qestl::ByteWriter& out, uint64_t at)>;

struct ImageLayoutInput {
    codegen::ImageParts parts;  // addresses assigned, operands resolved
    const uint64_t* sections = nullptr;  // the seven section values
    ImageHeaderValues header;
    model::NameStringPool* names = nullptr;  // emptied and filled here
    // None with -nd; its lines are noted while the code is encoded.
    DebugRecord* debug = nullptr;
    ResourceRecordWriter writeResources;     // none: each resource encodes itself
};

enum class LayoutResult { Written, ResourceFailed, OutputFailed };

// Lays the whole image out and writes it to `out`, header final and its four
// checksums set. A stream that can rewrite what it was given (`patchesWritten`)
// takes the bytes as they are encoded and has its header completed last; any
// other one gets the image in one piece at the end. The context's type
// stream is emptied and becomes the reflection table. A resource that could
// not be written stops the layout: `out` then holds what was written before
// it, for the caller to discard.
LayoutResult layoutImage(const ImageLayoutInput& input, qestl::qeistream& out);
