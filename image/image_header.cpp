#include "image/image_header.h"

#include <ctime>

#include "foundation/ascii_case.h"
#include "foundation/crc32.h"
#include "platform/system.h"

namespace {

struct Language {
    uint32_t id;
    std::string_view abbreviation;
};

constexpr Language kLanguages[] = {
#define LANGUAGE(id, abbreviation) {id, abbreviation},
#include "image/languages.def"
#undef LANGUAGE
};

}  // namespace

uint32_t languageIdOf(std::string_view abbreviation) {
    for (const Language& language : kLanguages)
        if (qestl::sameIgnoringAsciiCase(language.abbreviation.data(), language.abbreviation.size(),
                                         abbreviation.data(), abbreviation.size()))
            return language.id;
    return 0;
}

uint64_t writeImageHeaderFields(const ImageHeader& header, qestl::ByteWriter& out) {
    const size_t start = out.position();
    out.u64le(header.version);
    out.u32le(header.flags);
    out.u32le(header.word9);
    out.u32le(header.word4);
    out.u64le(header.imageOptions);
    out.u64le(header.timeStamp);
    out.u64le(header.endAddress);
    out.u32le(header.zero);
    out.u32le(header.crcWhole);
    out.u32le(header.crcRegion1);
    out.u32le(header.crcRegion2);
    out.u32le(header.crcRegion3);
    out.u64le(header.rawBlockLength);
    out.u32le(header.language);
    return out.position() - start;
}

uint64_t imageTimeStamp() {
    uint64_t fixed = 0;
    if (platform::fixedBuildTime(&fixed) == platform::BuildTime::Fixed) return fixed * 1000;
    const uint64_t seconds = static_cast<uint64_t>(std::time(nullptr));
    return seconds * 1000 + platform::localTime().milliseconds;
}

uint32_t regionCrc(const uint8_t* bytes, uint64_t start, uint64_t end) {
    if (end <= start) return 0;
    return qestl::crc32Update(bytes + start, end - start, 0);
}
