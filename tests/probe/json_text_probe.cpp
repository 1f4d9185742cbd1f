// Probe subcommands for the JSON model and the text and path utilities.
#include <cstdio>
#include <cstring>
#include <string>

#include "foundation/base64.h"
#include "foundation/json.h"
#include "foundation/path.h"
#include "foundation/qestring.h"
#include "probe.h"

namespace {

// json FILE|-: the document printed formatted, or "invalid" and status 1.
int jsonCommand(int argc, char** argv) {
    if (argc != 1) return 2;
    std::string text;
    if (!probe::readInput(argv[0], text)) {
        std::fprintf(stderr, "cannot read %s\n", argv[0]);
        return 2;
    }
    cbjson document;
    if (!document.parse(text.data(), text.size())) {
        std::puts("invalid");
        return 1;
    }
    qestl::qestringA printed;
    document.toText(printed);
    std::fwrite(printed.c_str(), 1, printed.length(), stdout);
    std::fputc('\n', stdout);
    return 0;
}

// b64 TEXT: the decoded bytes, raw.
int base64Command(int argc, char** argv) {
    if (argc != 1) return 2;
    qestl::qestringA decoded = qestl::decodeBase64(qestl::qestringA(argv[0]));
    std::fwrite(decoded.c_str(), 1, decoded.length(), stdout);
    return 0;
}

// path norm P...: each path normalised, one a line.
// path rel TARGET BASE: target relative to base.
int pathCommand(int argc, char** argv) {
    if (argc >= 1 && std::strcmp(argv[0], "norm") == 0) {
        for (int i = 1; i < argc; ++i) {
            qestl::qestringW path = qestl::widen(argv[i]);
            qestl::normaliseWidePath(path);
            std::printf("%s\n", qestl::narrow(path).c_str());
        }
        return 0;
    }
    if (argc == 3 && std::strcmp(argv[0], "rel") == 0) {
        qestl::qestringA relative = qestl::relativePath(qestl::qestringA(argv[1]), qestl::qestringA(argv[2]));
        std::printf("%s\n", relative.c_str());
        return 0;
    }
    return 2;
}

KORVO_PROBE("json", "FILE|-", jsonCommand);
KORVO_PROBE("b64", "TEXT", base64Command);
KORVO_PROBE("path", "norm P... | rel TARGET BASE", pathCommand);

}  // namespace
