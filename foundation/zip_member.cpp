#include "foundation/zip_member.h"

#include <cstring>

ZipMemberReader::ZipMemberReader() { std::memset(&inflater_, 0, sizeof inflater_); }

bool ZipMemberReader::begin(qestl::qeistream* archive, uint64_t archiveSize, const ZipRecord& entry) {
    end();
    if (archive == nullptr) return false;
    uint64_t headerAt = entry.localHeaderOffset;
    if (headerAt + kZipLocalHeaderSize > archiveSize) return false;
    if (archive->seek(qestl::kSeekBegin, static_cast<int64_t>(headerAt)) != headerAt) return false;
    uint32_t signature = 0;
    ZipRecord local;
    if (!zipReadSignature(archive, &signature) || signature != kZipLocalHeader) return false;
    if (local.read(archive, signature) != kZipOk) return false;
    // The sizes come from the directory; the local header only says where the
    // data starts. Both must stay inside the archive.
    uint64_t dataAt = headerAt + kZipLocalHeaderSize + local.name.length() + local.extraLength;
    if (dataAt > archiveSize || entry.compressedSize > archiveSize - dataAt) return false;
    if (archive->seek(qestl::kSeekBegin, static_cast<int64_t>(dataAt)) != dataAt) return false;

    record_.stream = archive;
    record_.signature = entry.signature;
    record_.method = entry.method;
    record_.compressedSize = entry.compressedSize;
    record_.uncompressedSize = entry.uncompressedSize;
    record_.localHeaderOffset = entry.localHeaderOffset;
    if (entry.method == Z_DEFLATED) {
        std::memset(&inflater_, 0, sizeof inflater_);
        if (inflateInit2(&inflater_, -MAX_WBITS) != Z_OK) return false;
        inflating_ = true;
    }
    consumed_ = 0;
    lastResult_ = Z_OK;
    open_ = 1;
    return true;
}

void ZipMemberReader::end() {
    if (inflating_) inflateEnd(&inflater_);
    inflating_ = false;
    open_ = 0;
}

void ZipMemberReader::clear() {
    record_.name.clear();
    record_.comment.clear();
}

int64_t ZipMemberReader::read(void* destination, uint32_t count) {
    if (!open_) return kZipNotOpen;
    auto* bytes = static_cast<uint8_t*>(destination);
    switch (record_.method) {
        case 0: return readStored(bytes, count);
        case Z_DEFLATED: return readDeflated(bytes, count);
        default: return kZipUnsupportedMethod;
    }
}

int64_t ZipMemberReader::readStored(uint8_t* destination, uint32_t count) {
    uint64_t left = record_.compressedSize - consumed_;
    uint32_t take = left < count ? static_cast<uint32_t>(left) : count;
    if (take == 0) return 0;
    if (record_.stream->read(destination, take) != take) return kZipShortRead;
    consumed_ += take;
    return take;
}

int64_t ZipMemberReader::readDeflated(uint8_t* destination, uint32_t count) {
    if (record_.compressedSize == 0 || count == 0) return 0;
    // After the end of the deflate stream there is nothing more to give.
    if (lastResult_ == Z_STREAM_END) return 0;
    uint32_t produced = 0;
    for (;;) {
        if (inflater_.avail_in == 0 && consumed_ < record_.compressedSize) {
            uint64_t left = record_.compressedSize - consumed_;
            uint32_t want = left < kInputSize ? static_cast<uint32_t>(left) : kInputSize;
            if (record_.stream->read(input_, want) != want) return kZipShortRead;
            consumed_ += want;
            inflater_.next_in = input_;
            inflater_.avail_in = want;
        }
        inflater_.next_out = destination + produced;
        inflater_.avail_out = count - produced;
        lastResult_ = inflate(&inflater_, Z_NO_FLUSH);
        produced = count - inflater_.avail_out;
        if (lastResult_ == Z_STREAM_END) return produced;
        if (lastResult_ < 0 && lastResult_ != Z_BUF_ERROR) return kZipShortRead;
        if (produced == count) return produced;
        // Room is left, so the inflater used up its input; when the member has
        // no more, its deflate stream was cut short.
        if (inflater_.avail_in == 0 && consumed_ == record_.compressedSize) return kZipShortRead;
    }
}

uint32_t ZipStream::read(void* destination, uint32_t count) {
    int64_t got = reader_->read(destination, count);
    if (got < 0) {
        lastError_ = static_cast<int>(got);
        return 0;
    }
    return static_cast<uint32_t>(got);
}
