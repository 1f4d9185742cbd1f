// Streams over files of the host: FileStream writes (create or append),
// ReadOnlyFileStream reads an existing file. The path is set before `open`.
#pragma once

#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "platform/file.h"

// What both file streams share: the handle, reading, moving, closing.
class FileStreamBase : public qestl::qeistream {
public:
    ~FileStreamBase() override;
    FileStreamBase(const FileStreamBase&) = delete;
    FileStreamBase& operator=(const FileStreamBase&) = delete;

    bool isOpen() override { return handle_ != nullptr; }
    uint32_t read(void* destination, uint32_t count) override;
    uint64_t remaining() override;
    // On a failed move or an unknown origin the position stays and is returned.
    uint64_t seek(uint32_t origin, int64_t offset) override;
    uint64_t tell() override;
    bool close() override;
    void finish() override { close(); }

    void setPath(const qestl::qestringW& path) { path_ = path; }
    const qestl::qestringW& path() const { return path_; }

protected:
    FileStreamBase() = default;
    explicit FileStreamBase(const qestl::qestringW& path) : path_(path) {}
    // The current position, or false when the host cannot say.
    bool currentPosition(uint64_t* position);
    // The path in the host's byte form (lossless for any UTF-16 input).
    qestl::qestringA hostPath() const;

    platform::FileHandle handle_ = nullptr;
    qestl::qestringW path_;
};

class FileStream : public FileStreamBase {
public:
    FileStream() = default;
    explicit FileStream(const qestl::qestringW& path, bool append = false)
        : FileStreamBase(path), append_(append ? 1 : 0) {}

    // Creates (or truncates) the file, or with append set opens or creates it
    // and writes at its end.
    bool open() override;
    // The count written, short when the host refused part of it.
    uint32_t write(const void* source, uint32_t count) override;
    uint64_t size() override;

    void setAppend(bool append) { append_ = append ? 1 : 0; }

private:
    uint64_t append_ = 0;
};

class ReadOnlyFileStream : public FileStreamBase {
public:
    ReadOnlyFileStream() = default;
    explicit ReadOnlyFileStream(const qestl::qestringW& path) : FileStreamBase(path) {}

    bool open() override;
    // All ones without an open file, 0 when the host cannot say.
    uint64_t size() override;
};
