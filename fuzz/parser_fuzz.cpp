// Any byte sequence given to the scanner and the grammar must be recognised
// or refused cleanly: no read outside the text, no leak of window records,
// and the same answer twice in a row from one recogniser.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "syntax/recognizer.h"
#include "syntax/scanner.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    int32_t length = static_cast<int32_t>(size);
    for (int32_t offset = 0; offset < length;) {
        TokenCode kind = 0;
        int32_t step = scanner::scanTokenAt(text, length, offset, &kind);
        if (step < 0 || offset + step > length) break;
        if (step == 0) std::abort();  // only the end of the text has no length
        offset += step;
    }

    GrammarRecognizer recognizer;
    bool first = recognizer.recognize(text, size);
    size_t problems = recognizer.problems().size();
    bool second = recognizer.recognize(text, size);
    if (first != second || problems != recognizer.problems().size()) std::abort();
    if (!first && problems == 0) std::abort();  // a refusal always says why
    return 0;
}
