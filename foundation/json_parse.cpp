// JSON text to tree. Every read is checked against the end of the text, and
// nesting is bounded by kJsonMaxDepth, so any byte sequence either parses or
// fails without reading outside it.
#include "foundation/json_detail.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "foundation/text_number.h"
#include "foundation/utf8.h"

namespace {

struct Reader {
    const char* at;
    const char* end;
    int depth;

    bool more() const { return at < end; }
    bool peek(char c) const { return at < end && *at == c; }
    // Skips the bytes 1 to 32: every control character and the blank.
    void skipBlank() {
        while (at < end && static_cast<unsigned char>(*at) >= 1 && static_cast<unsigned char>(*at) <= 32) ++at;
    }
    bool takeWord(const char* word) {
        size_t length = std::strlen(word);
        if (static_cast<size_t>(end - at) < length || std::memcmp(at, word, length) != 0) return false;
        at += length;
        return true;
    }
};

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool parseValue(Reader& in, JsonValue* value);

// The exponent stops growing here; 10 to this power is already infinite.
constexpr int64_t kExponentCap = 1000000;

int64_t truncateToInteger(double number) {
    if (std::isnan(number)) return 0;
    if (number >= 9223372036854775807.0) return INT64_MAX;
    if (number <= -9223372036854775808.0) return INT64_MIN;
    return static_cast<int64_t>(number);
}

// Never fails: reads what it can and stops behind the last byte used.
void parseNumber(Reader& in, JsonValue* value) {
    double sign = 1;
    if (in.peek('-')) {
        sign = -1;
        ++in.at;
    }
    if (in.peek('0')) ++in.at;
    double mantissa = 0;
    int64_t scale = 0;
    if (in.more() && *in.at >= '1' && *in.at <= '9') {
        while (in.more() && isDigit(*in.at)) mantissa = mantissa * 10 + (*in.at++ - '0');
    }
    if (in.peek('.') && in.end - in.at >= 2 && isDigit(in.at[1])) {
        ++in.at;
        while (in.more() && isDigit(*in.at)) {
            mantissa = mantissa * 10 + (*in.at++ - '0');
            --scale;
        }
    }
    int64_t exponent = 0;
    int64_t exponentSign = 1;
    if (in.peek('e') || in.peek('E')) {
        ++in.at;
        if (in.peek('+')) {
            ++in.at;
        } else if (in.peek('-')) {
            exponentSign = -1;
            ++in.at;
        }
        while (in.more() && isDigit(*in.at)) {
            exponent = exponent * 10 + (*in.at++ - '0');
            if (exponent > kExponentCap) exponent = kExponentCap;
        }
    }
    double number = sign * mantissa * std::pow(10.0, static_cast<double>(exponentSign * exponent + scale));
    value->type = kJsonNumber;
    value->number = number;
    value->integer = truncateToInteger(number);
}

// Four hexadecimal digits; any other digit makes the whole value 0.
unsigned parseHex4(const char* digits) {
    unsigned result = 0;
    for (int i = 0; i < 4; ++i) {
        char c = digits[i];
        const int digit = qestl::hexDigitValue(c);
        if (digit < 0) return 0;
        result = result * 16 + static_cast<unsigned>(digit);
    }
    return result;
}

// Decodes the string body [from, stop) into out; returns the end of the
// output. A backslash or a \u escape cut off by stop ends the text.
char* decodeStringBody(const char* from, const char* stop, char* out) {
    while (from < stop) {
        if (*from != '\\') {
            *out++ = *from++;
            continue;
        }
        if (stop - from < 2) break;
        char escaped = from[1];
        from += 2;
        switch (escaped) {
            case 'b': *out++ = 8; continue;
            case 'f': *out++ = 12; continue;
            case 'n': *out++ = 10; continue;
            case 'r': *out++ = 13; continue;
            case 't': *out++ = 9; continue;
            case 'u': break;
            default: *out++ = escaped; continue;
        }
        if (stop - from < 4) break;
        unsigned code = parseHex4(from);
        from += 4;
        if (code == 0 || (code >= 0xDC00 && code <= 0xDFFF)) continue;
        if (code >= 0xD800 && code <= 0xDBFF) {
            // Only a following low surrogate escape is consumed with it.
            if (stop - from < 6 || from[0] != '\\' || from[1] != 'u') continue;
            unsigned low = parseHex4(from + 2);
            if (low < 0xDC00 || low > 0xDFFF) continue;
            from += 6;
            code = 0x10000 + (((code & 0x3FF) << 10) | (low & 0x3FF));
        }
        out += qestl::putUtf8(code, out);
    }
    return out;
}

// Reads a quoted string into value->string. A missing closing quote ends the
// string at the end of the text.
bool parseString(Reader& in, JsonValue* value) {
    if (!in.peek('"')) return false;
    const char* start = ++in.at;
    const char* stop = start;
    while (stop < in.end && *stop != '"') {
        if (*stop == '\\' && in.end - stop >= 2) ++stop;
        ++stop;
    }
    // Every escape decodes to no more bytes than it is written with.
    char* text = static_cast<char*>(jsonAlloc(static_cast<size_t>(stop - start) + 1));
    if (!text) return false;
    char* written = decodeStringBody(start, stop, text);
    *written = 0;
    jsonFree(value->string);
    value->string = text;
    value->type = kJsonString;
    in.at = stop < in.end ? stop + 1 : stop;
    return true;
}

// Appends a fresh member node behind last (or as the first child).
JsonNode* appendMember(JsonValue* container, JsonNode* last) {
    JsonNode* node = jsonNewNode(kJsonNull);
    if (!node) return nullptr;
    if (last) {
        last->next = node;
        node->prev = last;
    } else {
        container->child = node;
    }
    return node;
}

bool parseArray(Reader& in, JsonValue* value) {
    value->type = kJsonArray;
    ++in.at;
    in.skipBlank();
    if (in.peek(']')) {
        ++in.at;
        return true;
    }
    JsonNode* last = nullptr;
    for (;;) {
        last = appendMember(value, last);
        if (!last || !parseValue(in, last->value)) return false;
        in.skipBlank();
        if (in.peek(']')) {
            ++in.at;
            return true;
        }
        if (!in.peek(',')) return false;
        ++in.at;
        in.skipBlank();
    }
}

bool parseObject(Reader& in, JsonValue* value) {
    value->type = kJsonObject;
    ++in.at;
    in.skipBlank();
    if (in.peek('}')) {
        ++in.at;
        return true;
    }
    JsonNode* last = nullptr;
    for (;;) {
        last = appendMember(value, last);
        if (!last) return false;
        JsonValue* member = last->value;
        if (!parseString(in, member)) return false;
        member->key = member->string;
        member->string = nullptr;
        in.skipBlank();
        if (!in.peek(':')) return false;
        ++in.at;
        in.skipBlank();
        if (!parseValue(in, member)) return false;
        in.skipBlank();
        if (in.peek('}')) {
            ++in.at;
            return true;
        }
        if (!in.peek(',')) return false;
        ++in.at;
        in.skipBlank();
    }
}

bool parseNested(Reader& in, JsonValue* value, bool (*parse)(Reader&, JsonValue*)) {
    if (in.depth >= kJsonMaxDepth) return false;
    ++in.depth;
    bool parsed = parse(in, value);
    --in.depth;
    return parsed;
}

bool parseValue(Reader& in, JsonValue* value) {
    if (!in.more()) return false;
    if (in.takeWord("null")) {
        value->type = kJsonNull;
        return true;
    }
    if (in.takeWord("false")) {
        value->type = kJsonFalse;
        return true;
    }
    if (in.takeWord("true")) {
        value->type = kJsonTrue;
        value->integer = 1;
        return true;
    }
    char first = *in.at;
    if (first == '"') return parseString(in, value);
    if (first == '-' || isDigit(first)) {
        parseNumber(in, value);
        return true;
    }
    if (first == '[') return parseNested(in, value, parseArray);
    if (first == '{') return parseNested(in, value, parseObject);
    return false;
}

}  // namespace

JsonNode* parseJsonText(const char* text, size_t length) {
    if (!text) return nullptr;
    const void* nul = std::memchr(text, 0, length);
    Reader in{text, nul ? static_cast<const char*>(nul) : text + length, 0};
    JsonNode* root = jsonNewNode(kJsonNull);
    if (!root) return nullptr;
    in.skipBlank();
    if (!parseValue(in, root->value)) {
        jsonRelease(root);
        return nullptr;
    }
    return root;
}

JsonNode* parseJsonText(const char* text) {
    return text ? parseJsonText(text, std::strlen(text)) : nullptr;
}
