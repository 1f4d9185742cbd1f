#include "stub_check.h"

#define IMAGE_HEAD 136u
#define IMAGE_BODY 192u

typedef struct {
    char text[256];
    unsigned length;
} Line;

static void put(Line* line, const char* text) {
    while (*text && line->length < sizeof line->text) line->text[line->length++] = *text++;
}

static void putNumber(Line* line, unsigned long long value) {
    char digits[24];
    int count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0 && line->length < sizeof line->text) line->text[line->length++] = digits[--count];
}

static unsigned long long loadLE(const unsigned char* p, int bytes) {
    unsigned long long value = 0;
    while (bytes-- > 0) value = (value << 8) | p[bytes];
    return value;
}

/* The reflected CRC-32 of zlib, bit by bit: the images are small and a table
   would only grow the stub. */
static unsigned crc32Of(const unsigned char* bytes, unsigned long long length) {
    unsigned crc = 0xFFFFFFFFu;
    for (unsigned long long i = 0; i < length; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

static int finish(Line* line, int status, int kdbg) {
#ifdef KSTUB_DEBUG
    put(line, kdbg ? " debug kdbg=yes" : " debug kdbg=no");
#else
    (void)kdbg;
#endif
    put(line, "\n");
    kstubWrite(line->text, line->length);
    return status;
}

int kstubEndsInKdbg(const unsigned char* file, unsigned long size) {
    return file != 0 && size >= 4 && file[size - 4] == 'k' && file[size - 3] == 'd' && file[size - 2] == 'b' &&
           file[size - 1] == 'g';
}

int kstubReport(const char* format, const unsigned char* image, unsigned long long stored, const char* reason,
                int kdbg) {
    Line line;
    line.length = 0;
    put(&line, "korvo-stub(");
    put(&line, format);
    put(&line, "): ");
    if (image == 0) {
        put(&line, reason);
        return finish(&line, 2, kdbg);
    }
    if (stored < IMAGE_HEAD) {
        put(&line, "image too short stored=");
        putNumber(&line, stored);
        return finish(&line, 2, kdbg);
    }
    if (image[0] != 'K' || image[1] != 'B' || image[2] != '!' || image[3] != ' ') {
        put(&line, "bad magic");
        return finish(&line, 2, kdbg);
    }
    unsigned long long version = loadLE(image + 4, 4);
    unsigned long long options = loadLE(image + 28, 8);
    unsigned long long end = loadLE(image + 44, 8);
    int compressed = (options & 1u) != 0;
    put(&line, "image=");
    putNumber(&line, end);
    put(&line, " stored=");
    putNumber(&line, stored);
    put(&line, " version=");
    putNumber(&line, version);
    if (version != 1049) {
        put(&line, " bad version");
        return finish(&line, 2, kdbg);
    }
    /* A compressed image is shorter than the end it records. */
    if (end < IMAGE_BODY || (!compressed && end > stored)) {
        put(&line, " bad end address");
        return finish(&line, 2, kdbg);
    }
    if (compressed) {
        put(&line, " compressed crc=skipped");
        return finish(&line, 0, kdbg);
    }
    if (crc32Of(image + IMAGE_HEAD, end - IMAGE_HEAD) != (unsigned)loadLE(image + 56, 4)) {
        put(&line, " crc=BAD");
        return finish(&line, 2, kdbg);
    }
    put(&line, " crc=ok");
    return finish(&line, 0, kdbg);
}
