// The compressed form of a program image (-z): the head as written, the raw
// block (the icon bytes), then the rest of the image as one LZMA stream in
// the classic container.
#pragma once

#include <cstdint>

#include "foundation/stream.h"
#include "foundation/vector.h"
#include "image/image_header.h"

// Rewrites a finished program image in `image` as its compressed form. False
// (the stream then holds no usable image) when the image is shorter than its
// head or compression fails.
bool compressProgramImage(qestl::qeByteStream& image, const qestl::ByteVector& iconBytes);

// The plain image of `bytes` into `out` (emptied first): a compressed image
// is restored as its head followed by the decoded body, the raw block
// skipped; a plain one is lent, not copied (`bytes` must outlive `out`): the
// listing of a large image held it twice. False, before anything is decoded,
// when the head is short or lacks the magic and format version, or the raw
// block or the end address lie beyond reason; false when the body does not
// decode within end address - head bytes and 128 times its packed bytes, or
// the section values do not ascend within [body start, end address].
bool restoreProgramImage(const uint8_t* bytes, uint64_t size, qestl::qeByteStream& out);
