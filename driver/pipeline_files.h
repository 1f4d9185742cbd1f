// Files the compile modes read and write around the pipeline: the JSON side
// files, whole outputs, and the compressed form of a program image.
#pragma once

#include <cstdint>

#include "driver/compile_options.h"
#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "foundation/vector.h"
#include "foundation/whole_file.h"

// The .version and .kdef documents of the options: true when the file was read
// and parsed (the document replaces the one held), false after a warning line.
bool readVersionFile(CompileOptions& options);
bool readExportDefinitionFile(CompileOptions& options);

// Bytes of a program image that stay uncompressed: the 8-byte prefix and the
// 128-byte header.
inline constexpr uint32_t kImageHeadBytes = 136;

// Rewrites a finished program image in `image` as its compressed form: the
// head as it is, then the icon bytes, then the rest of the image as one LZMA
// stream in the classic container. False (the stream then holds no usable
// image) when the image is shorter than its head or compression fails.
bool compressProgramImage(qestl::qeByteStream& image, const qestl::ByteVector& iconBytes);
