#include "source/page_tags.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace {

const char kTagPattern[] = "(<\\s*ksp\\s*:\\s*)(\\w+)(\\s+)(\\w+)(\\s*\\=\\s*\\\")(.*?)(\\\"\\s*\\/>)";

// Compiled once; the pattern is constant for the whole process.
pcre2_code* tagPattern() {
    static pcre2_code* code = [] {
        int error = 0;
        PCRE2_SIZE offset = 0;
        return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(kTagPattern), PCRE2_ZERO_TERMINATED, PCRE2_UTF, &error,
                             &offset, nullptr);
    }();
    return code;
}

}  // namespace

bool scanPageTags(qestl::VectorOfU64Vectors& out, const char* text, size_t length) {
    pcre2_code* code = tagPattern();
    if (code == nullptr || text == nullptr) return code != nullptr;
    // Offsets are packed into 32 bits each.
    if (length > UINT32_MAX) return false;
    uint32_t captures = 0;
    if (pcre2_pattern_info(code, PCRE2_INFO_CAPTURECOUNT, &captures) != 0) return false;
    pcre2_match_data* data = pcre2_match_data_create(captures + 1, nullptr);
    if (data == nullptr) return false;

    bool ok = true;
    PCRE2_SIZE from = 0;
    // The first search checks the whole text once; later ones start at the end
    // of a match, which is a character boundary of text already checked.
    uint32_t options = 0;
    while (from <= length) {
        int found = pcre2_match(code, reinterpret_cast<PCRE2_SPTR>(text), length, from, options, data, nullptr);
        options = PCRE2_NO_UTF_CHECK;
        if (found == PCRE2_ERROR_NOMATCH) break;
        // A page that is not valid UTF-8 has no tags that could be found.
        if (found <= PCRE2_ERROR_UTF8_ERR1 && found >= PCRE2_ERROR_UTF8_ERR21) break;
        if (found < 0) {
            ok = false;
            break;
        }
        const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
        qestl::U64Vector groups;
        for (uint32_t g = 0; g <= captures; ++g) {
            PCRE2_SIZE start = vector[2 * g];
            PCRE2_SIZE end = vector[2 * g + 1];
            if (start == PCRE2_UNSET) start = end = 0;
            groups.pushBack((uint64_t{static_cast<uint32_t>(start)} << 32) | static_cast<uint32_t>(end));
        }
        out.pushBack(groups);
        // A tag is never empty, so the search always moves on.
        from = vector[1] > from ? vector[1] : from + 1;
    }
    pcre2_match_data_free(data);
    return ok;
}
