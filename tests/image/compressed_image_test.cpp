// The compressed program image: head and icon plain, the rest one LZMA stream.
#include <gtest/gtest.h>

#include <string>

#include "foundation/lzma_stream.h"
#include "image/compressed_image.h"

namespace {

TEST(CompressedImage, HeadAndIconStayPlainAndTheRestDecompresses) {
    std::string image(kImageHeadBytes, 'H');
    for (int i = 0; i < 5000; ++i) image += static_cast<char>('a' + i % 7);
    qestl::ByteVector icon;
    for (uint8_t b : {1, 2, 3}) icon.pushBack(b);
    qestl::qeByteStream stream;
    stream.appendBytes(image.data(), image.size());
    ASSERT_TRUE(compressProgramImage(stream, icon));

    const std::string out(reinterpret_cast<const char*>(stream.data()), stream.size());
    EXPECT_EQ(out.substr(0, kImageHeadBytes), image.substr(0, kImageHeadBytes));
    EXPECT_EQ(out.substr(kImageHeadBytes, 3), std::string("\x01\x02\x03"));
    qestl::qeByteStream packed(stream.data() + kImageHeadBytes + 3, stream.size() - kImageHeadBytes - 3);
    qestl::qeByteStream body;
    ASSERT_TRUE(lzmaDecompressStream(body, packed));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(body.data()), body.size()), image.substr(kImageHeadBytes));
    EXPECT_EQ(packed.remaining(), 0u);

    qestl::qeByteStream shortImage;
    shortImage.appendBytes(image.data(), kImageHeadBytes - 1);
    EXPECT_FALSE(compressProgramImage(shortImage, qestl::ByteVector()));
}

}  // namespace
