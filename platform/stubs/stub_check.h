/* The check every stand-in runtime stub makes of the program image it holds.
   Freestanding: no C library, so the Mach-O build links without an SDK. */
#ifndef KORVO_STUB_CHECK_H
#define KORVO_STUB_CHECK_H

/* Supplied by each finder: writes bytes to standard output. */
void kstubWrite(const char* text, unsigned long length);

/* True when the file's last four bytes are "kdbg" (debuggable builds). */
int kstubEndsInKdbg(const unsigned char* file, unsigned long size);

/* Checks the image and prints the one line of the stub's verdict:
   "korvo-stub(<format>): image=<end> stored=<n> version=1049 crc=ok", or
   crc=BAD, or "korvo-stub(<format>): <reason>". `image` may be null (no image
   found; `reason` then says why). The -dbg builds append " debug kdbg=yes|no".
   Returns the exit status: 0 for a sound image, 2 otherwise. */
int kstubReport(const char* format, const unsigned char* image, unsigned long long stored, const char* reason,
                int kdbg);

#endif
