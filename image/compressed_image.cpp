#include "image/compressed_image.h"

#include "foundation/lzma_stream.h"

bool compressProgramImage(qestl::qeByteStream& image, const qestl::ByteVector& iconBytes) {
    if (image.size() < kImageHeadBytes) return false;
    qestl::qeByteStream body;
    if (!body.appendBytes(image.data(), image.size())) return false;
    image.close();
    if (image.write(body.data(), kImageHeadBytes) != kImageHeadBytes) return false;
    if (!iconBytes.empty() && !image.appendBytes(iconBytes.data(), iconBytes.size())) return false;
    body.seek(qestl::kSeekBegin, kImageHeadBytes);
    return lzmaCompressStream(image, body);
}
