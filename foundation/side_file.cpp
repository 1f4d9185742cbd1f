#include "foundation/side_file.h"

#include <cstdio>

#include "foundation/whole_file.h"

bool readJsonSideFile(const qestl::qestringW& path, const qestl::qestringW& shown, cbjson& document,
                      const char* unreadable, const char* invalid) {
    qestl::ByteVector bytes;
    if (!readWholeFile(path, bytes)) {
        std::printf("%s%s\n", unreadable, qestl::narrow(shown).c_str());
        return false;
    }
    cbjson parsed;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    if (bytes.empty() || !parsed.parse(text, bytes.size())) {
        std::printf("%s%s\n", invalid, qestl::narrow(shown).c_str());
        return false;
    }
    document.reset(parsed.detach());
    return true;
}
