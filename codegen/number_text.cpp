#include "codegen/number_text.h"

#include "foundation/text_number.h"

// The test itself lives in the foundation, whose literal readers need it too.
bool isNumberText(const char* start, const char* end, bool hexOnly) {
    return qestl::isNumberSpan(start, end, hexOnly);
}
