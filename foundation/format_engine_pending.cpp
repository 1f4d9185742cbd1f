// Stand-in until the house formatting engines land; they replace this file.
#include <cstdio>
#include <cstdlib>

#include "foundation/qestring.h"

namespace qestl {

size_t formatNarrow(qestringA&, size_t, const char*, va_list) {
    std::fputs("formatting engine not built yet\n", stderr);
    std::abort();
}

size_t formatWide(qestringW&, size_t, const char16_t*, va_list) {
    std::fputs("formatting engine not built yet\n", stderr);
    std::abort();
}

}  // namespace qestl
