/* What the Linux and macOS stubs share: standard output and reading their own
   file. The few C library functions are declared here, so the macOS build
   needs no SDK; the types match both C libraries on every target built. */
#include "stub_posix.h"

extern int open(const char* path, int flags, ...);
extern long read(int fd, void* buffer, unsigned long count);
extern long write(int fd, const void* buffer, unsigned long count);
extern long lseek(int fd, long offset, int whence);
extern int close(int fd);
extern void* malloc(unsigned long size);

void kstubWrite(const char* text, unsigned long length) {
    while (length > 0) {
        long done = write(1, text, length);
        if (done <= 0) return;
        text += done;
        length -= (unsigned long)done;
    }
}

unsigned char* kstubReadFile(const char* path, unsigned long* size) {
    *size = 0;
    int fd = open(path, 0 /* O_RDONLY */);
    if (fd < 0) return 0;
    long end = lseek(fd, 0, 2 /* SEEK_END */);
    unsigned char* bytes = end > 0 && lseek(fd, 0, 0) == 0 ? malloc((unsigned long)end) : 0;
    unsigned long got = 0;
    while (bytes != 0 && got < (unsigned long)end) {
        long done = read(fd, bytes + got, (unsigned long)end - got);
        if (done <= 0) break;
        got += (unsigned long)done;
    }
    close(fd);
    if (bytes == 0 || got != (unsigned long)end) return 0;
    *size = got;
    return bytes;
}
