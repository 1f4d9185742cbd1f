// The compressed form of a program image (-z): the head as written, the icon
// bytes, then the rest of the image as one LZMA stream in the classic
// container.
#pragma once

#include <cstdint>

#include "foundation/stream.h"
#include "foundation/vector.h"

// Bytes of a program image that stay uncompressed: the 8-byte prefix and the
// 128-byte header.
inline constexpr uint32_t kImageHeadBytes = 136;

// Rewrites a finished program image in `image` as its compressed form. False
// (the stream then holds no usable image) when the image is shorter than its
// head or compression fails.
bool compressProgramImage(qestl::qeByteStream& image, const qestl::ByteVector& iconBytes);
