// Any byte sequence given to the JSON reader must parse or fail cleanly, and
// whatever parses must print and release without touching foreign memory.
#include <cstddef>
#include <cstdint>

#include "foundation/json.h"
#include "foundation/qestring.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    cbjson document;
    if (!document.parse(reinterpret_cast<const char*>(data), size)) return 0;
    qestl::qestringA formatted;
    document.toText(formatted);
    if (char* compact = jsonPrintValue(document.root(), 0, false)) jsonFree(compact);
    jsonGetObjectItem(document.root(), "version");
    return 0;
}
