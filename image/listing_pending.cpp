// Until the image reader exists the listing only checks that the file can be
// read, and then lists nothing.
#include <cstdio>

#include "foundation/file_stream.h"
#include "image/listing.h"

bool listCompiledFile(const qestl::qestringW& input, const qestl::qestringW&) {
    ReadOnlyFileStream file(input);
    if (!file.open()) std::fputs("can't open file:\n", stdout);
    return false;
}
