#include "driver/response_file.h"

#include <cerrno>
#include <cstring>

#include "driver/console.h"
#include "foundation/whole_file.h"

namespace {

bool isSeparator(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r'; }

// A token spans [start, end). One that opens with a quote drops that quote
// and its last unit, which is meant to be the closing one.
void addToken(qestl::WStringVector& tokens, const char16_t* text, size_t start, size_t end) {
    if (text[start] == u'"') {
        ++start;
        end = end > start ? end - 1 : start;  // a lone quote is an empty token
    }
    tokens.pushBack(qestl::qestringW(text + start, end - start));
}

}  // namespace

qestl::WStringVector splitResponseFile(const char16_t* text, size_t length) {
    qestl::WStringVector tokens;
    tokens.pushBack(qestl::qestringW());
    constexpr size_t kNone = static_cast<size_t>(-1);
    size_t start = kNone;
    bool quoted = false;
    for (size_t i = 0; i < length; ++i) {
        char16_t unit = text[i];
        if (unit == u'"') {
            quoted = !quoted;
        } else if (!quoted && isSeparator(unit)) {
            if (start != kNone) addToken(tokens, text, start, i);
            start = kNone;
            continue;
        }
        if (start == kNone) start = i;
    }
    if (start != kNone) addToken(tokens, text, start, length);
    return tokens;
}

bool readResponseFile(const char16_t* path, qestl::WStringVector& arguments) {
    qestl::qestringW widePath(path);
    qestl::ByteVector bytes;
    const WholeRead read = readFileWhole(widePath, bytes, kResponseFileLimit - 1);
    const int reason = errno;
    if (read == WholeRead::TooLarge) {
        printfToStdout("命令参数文件过大:%s\n", qestl::narrow(widePath).c_str());
        return false;
    }
    if (read != WholeRead::Read) {
        printfToStdout("无法读取参数文件 %s: %s\n", qestl::narrow(widePath).c_str(), std::strerror(reason));
        return false;
    }
    qestl::qestringW text = qestl::widen(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    arguments = splitResponseFile(text.c_str(), text.length());
    arguments[0] = qestl::qestringW(u"korvo");
    return true;
}
