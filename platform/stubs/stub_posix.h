/* Standard output and whole-file reading for the Linux and macOS stubs. */
#ifndef KORVO_STUB_POSIX_H
#define KORVO_STUB_POSIX_H

/* The whole file in a new buffer, or null when it cannot be read whole. */
unsigned char* kstubReadFile(const char* path, unsigned long* size);

#endif
