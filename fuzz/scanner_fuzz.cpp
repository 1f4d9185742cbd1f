// Scans arbitrary bytes: every token must lie inside the text and advance it,
// and the tokens up to the first unrecognised byte must give back the text.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "syntax/scanner.h"
#include "syntax/source_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    SourceInput input;
    if (!input.setText(text, size)) return 0;
    std::string joined;
    for (;;) {
        TokenCode kind = 0;
        int32_t length = scanner::scanTokenAt(input.text, input.length, input.offset, &kind);
        if (length <= 0) break;
        if (length > input.length - input.offset || kind < TokenKind::First || kind > TokenKind::Last) std::abort();
        if (kind == TokenKind::Float) {
            std::string literal(text + input.offset, static_cast<size_t>(length));
            (void)parseFloatText(literal.c_str());
        }
        joined.append(text + input.offset, static_cast<size_t>(length));
        input.advance(length);
    }
    if (joined.compare(0, std::string::npos, text, static_cast<size_t>(input.offset)) != 0) std::abort();
    return 0;
}
