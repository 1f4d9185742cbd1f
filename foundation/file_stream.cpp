#include "foundation/file_stream.h"

using platform::SeekOrigin;

FileStreamBase::~FileStreamBase() { close(); }

qestl::qestringA FileStreamBase::hostPath() const { return qestl::narrow(path_); }

uint32_t FileStreamBase::read(void* destination, uint32_t count) {
    uint32_t done = 0;
    if (!platform::fileRead(handle_, destination, count, &done)) return 0;
    return done;
}

uint64_t FileStreamBase::remaining() {
    if (handle_ == nullptr) return 0;
    uint64_t end = size();
    uint64_t at = tell();
    return at < end ? end - at : 0;
}

bool FileStreamBase::close() {
    if (handle_ == nullptr) return false;
    platform::fileClose(handle_);
    handle_ = nullptr;
    return true;
}

bool FileStreamBase::currentPosition(uint64_t* position) {
    return platform::fileSeek(handle_, 0, SeekOrigin::Current, position);
}

uint64_t FileStreamBase::seek(uint32_t origin, int64_t offset) {
    if (handle_ == nullptr) return 0;
    uint64_t position = 0;
    if (origin <= qestl::kSeekEnd && platform::fileSeek(handle_, offset, static_cast<SeekOrigin>(origin), &position))
        return position;
    return tell();
}

uint64_t FileStreamBase::tell() {
    uint64_t position = 0;
    if (handle_ == nullptr || !currentPosition(&position)) return 0;
    return position;
}

bool FileStream::open() {
    close();
    handle_ = platform::fileCreate(hostPath().c_str(), append_ != 0);
    return handle_ != nullptr;
}

uint32_t FileStream::write(const void* source, uint32_t count) {
    uint32_t done = 0;
    platform::fileWrite(handle_, source, count, &done);
    return done;
}

uint64_t FileStream::size() {
    uint64_t bytes = 0;
    if (handle_ == nullptr || !platform::fileSize(handle_, &bytes)) return 0;
    return bytes;
}

bool ReadOnlyFileStream::open() {
    close();
    handle_ = platform::fileOpenRead(hostPath().c_str());
    return handle_ != nullptr;
}

uint64_t ReadOnlyFileStream::size() {
    if (handle_ == nullptr) return ~uint64_t{0};
    uint64_t bytes = 0;
    if (!platform::fileSize(handle_, &bytes)) return 0;
    return bytes;
}
