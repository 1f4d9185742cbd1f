#include "builtins/member_text.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <limits>

namespace {

bool isIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}
bool isIdentChar(char c) { return isIdentStart(c) || (c >= '0' && c <= '9'); }
bool isOperatorChar(char c) {
    return c == '+' || c == '-' || c == '*' || c == '/' || c == '=' || c == '!' || c == '<' ||
           c == '>' || c == '&' || c == '|' || c == '^' || c == '~';
}

// One line being read; every failure leaves its message and stops the line.
class LineReader {
public:
    LineReader(std::string_view line, std::span<const std::string_view> placeholders)
        : line_(line), placeholders_(placeholders) {}

    std::string message;

    bool fail(std::string text) {
        if (message.empty()) message = std::move(text);
        return false;
    }
    void skipBlanks() {
        while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
    }
    bool atEnd() {
        skipBlanks();
        return pos_ == line_.size();
    }
    char peek() {
        skipBlanks();
        return pos_ < line_.size() ? line_[pos_] : '\0';
    }
    bool accept(char c) {
        if (peek() != c) return false;
        ++pos_;
        return true;
    }
    std::string_view identifier() {
        skipBlanks();
        return identifierHere();
    }
    std::string_view identifierHere() {
        size_t start = pos_;
        if (pos_ < line_.size() && isIdentStart(line_[pos_])) {
            while (pos_ < line_.size() && isIdentChar(line_[pos_])) ++pos_;
        }
        return line_.substr(start, pos_ - start);
    }
    // A keyword only when a whole identifier matches it.
    bool acceptWord(std::string_view word) {
        skipBlanks();
        size_t save = pos_;
        if (identifier() == word) return true;
        pos_ = save;
        return false;
    }
    std::string_view rest() {
        skipBlanks();
        return line_.substr(pos_);
    }

    bool type(MemberType& out, const char* what) {
        skipBlanks();
        size_t start = pos_;
        if (identifier().empty()) return fail(std::string("expected ") + what);
        while (pos_ < line_.size() && line_[pos_] == '.') {
            ++pos_;
            if (identifierHere().empty()) return fail("expected a class name after '.'");
        }
        out = MemberType{};
        out.name = line_.substr(start, pos_ - start);
        for (size_t i = 0; i < placeholders_.size() && i < INT8_MAX; ++i) {
            if (placeholders_[i] == out.name) out.placeholder = static_cast<int8_t>(i);
        }
        while (pos_ + 1 < line_.size() && line_[pos_] == '[' && line_[pos_ + 1] == ']') {
            pos_ += 2;
            if (out.arrayDepth == std::numeric_limits<uint8_t>::max()) {
                return fail("too many array dimensions");
            }
            ++out.arrayDepth;
        }
        return true;
    }

    // An identifier, a run of operator characters, or "[]".
    std::string_view methodName() {
        skipBlanks();
        size_t start = pos_;
        if (pos_ + 1 < line_.size() && line_[pos_] == '[' && line_[pos_ + 1] == ']') {
            pos_ += 2;
        } else if (pos_ < line_.size() && isOperatorChar(line_[pos_])) {
            while (pos_ < line_.size() && isOperatorChar(line_[pos_])) ++pos_;
        } else {
            identifier();
        }
        return line_.substr(start, pos_ - start);
    }

private:
    std::string_view line_;
    size_t pos_ = 0;
    std::span<const std::string_view> placeholders_;
};

template <typename T>
bool parseWhole(std::string_view text, T& value, int base) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    return ec == std::errc() && end == text.data() + text.size();
}

bool parseHex(std::string_view text, size_t maxDigits, uint64_t& value) {
    if (text.size() < 3 || text[0] != '0' || (text[1] != 'x' && text[1] != 'X')) return false;
    text.remove_prefix(2);
    if (text.size() > maxDigits) return false;
    return parseWhole(text, value, 16);
}

bool readConstant(LineReader& r, MemberText::Storage& out) {
    MemberConstant c{};
    std::string_view kind = r.identifier();
    if (kind == "int") {
        c.kind = ConstantKind::Int;
    } else if (kind == "char") {
        c.kind = ConstantKind::Char;
    } else if (kind == "double") {
        c.kind = ConstantKind::Double;
    } else {
        return r.fail("a constant is int, char or double");
    }
    c.name = r.identifier();
    if (c.name.empty()) return r.fail("expected the constant's name");
    if (!r.accept('=')) return r.fail("expected '=' after the constant's name");
    std::string_view value = r.rest();
    uint64_t bits = 0;
    switch (c.kind) {
    case ConstantKind::Int: {
        int32_t v = 0;
        if (parseHex(value, 8, bits)) {
            v = static_cast<int32_t>(static_cast<uint32_t>(bits));
        } else if (!parseWhole(value, v, 10)) {
            return r.fail("an int constant is a 32-bit decimal or 0x value");
        }
        c.bits = static_cast<uint64_t>(static_cast<int64_t>(v));
        break;
    }
    case ConstantKind::Char: {
        uint16_t v = 0;
        if (!parseWhole(value, v, 10)) return r.fail("a char constant is a code unit from 0 to 65535");
        c.bits = v;
        break;
    }
    case ConstantKind::Double:
        if (!parseHex(value, 16, bits)) {
            return r.fail("a double constant is given by its bit pattern (0x and up to 16 hex digits)");
        }
        c.bits = bits;
        break;
    }
    out.constants.push_back(c);
    return true;
}

bool readField(LineReader& r, MemberText::Storage& out) {
    MemberField f{};
    f.isFinal = r.acceptWord("final");
    if (!r.type(f.type, "the field's type")) return false;
    f.name = r.identifier();
    if (f.name.empty()) return r.fail("expected the field's name");
    if (!r.atEnd()) return r.fail("unexpected text after the field's name");
    out.fields.push_back(f);
    return true;
}

bool readMethod(LineReader& r, MemberText::Storage& out, uint32_t line) {
    MemberMethod m{};
    m.line = line;
    for (;;) {
        if (r.acceptWord("static")) {
            m.isStatic = true;
        } else if (r.acceptWord("final")) {
            m.isFinal = true;
        } else if (r.acceptWord("noobj")) {
            m.noObjectReturn = true;
        } else if (r.acceptWord("abstract")) {
            m.isAbstract = true;
        } else {
            break;
        }
    }
    if (r.accept('-')) {
        m.hasResult = false;
    } else {
        if (!r.type(m.result, "the result type or '-'")) return false;
        m.hasResult = true;
    }
    m.name = r.methodName();
    if (m.name.empty()) return r.fail("expected the method's name");
    if (!r.accept('(')) return r.fail("expected '(' after the method's name");

    m.firstParameter = static_cast<uint16_t>(out.parameters.size());
    if (!r.accept(')')) {
        do {
            MemberParameter p{};
            if (!r.type(p.type, "a parameter type")) return false;
            p.notNilptr = r.accept('!');
            p.name = r.identifier();
            if (p.name.empty()) return r.fail("expected the parameter's name");
            if (m.parameterCount == kMaxMemberParameters) {
                return r.fail("more than 32 parameters");
            }
            out.parameters.push_back(p);
            ++m.parameterCount;
        } while (r.accept(','));
        if (!r.accept(')')) return r.fail("expected ',' or ')' after a parameter");
    }

    m.firstThrown = static_cast<uint16_t>(out.thrown.size());
    if (r.acceptWord("throws")) {
        do {
            MemberType t;
            if (!r.type(t, "a thrown class")) return false;
            if (t.arrayDepth != 0) return r.fail("a thrown class is not an array");
            if (m.thrownCount == UINT16_MAX) return r.fail("too many thrown classes");
            out.thrown.push_back(t.name);
            ++m.thrownCount;
        } while (r.accept(','));
    }
    if (!r.atEnd()) return r.fail("unexpected text after the method");
    out.methods.push_back(m);
    return true;
}

}  // namespace

bool parseMemberText(std::string_view text, std::span<const std::string_view> placeholders,
                     MemberText& out, MemberTextError& error) {
    out = MemberText{};
    MemberText::Storage& read = out.storage;
    uint32_t lineNumber = 0;
    while (!text.empty()) {
        size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        ++lineNumber;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
            line.remove_suffix(1);
        }

        LineReader r(line, placeholders);
        if (r.atEnd()) continue;
        bool ok;
        if (r.acceptWord("field")) {
            ok = readField(r, read);
        } else if (r.acceptWord("const")) {
            ok = readConstant(r, read);
        } else {
            ok = readMethod(r, read, lineNumber);
        }
        // The record's index fields are 16 bits wide.
        if (ok && (read.parameters.size() > UINT16_MAX || read.thrown.size() > UINT16_MAX)) {
            ok = r.fail("too many parameters or thrown classes in one text");
        }
        if (!ok) {
            error.line = lineNumber;
            error.message = "line " + std::to_string(lineNumber) + ": " + r.message;
            return false;
        }
    }
    out.fields = read.fields;
    out.constants = read.constants;
    out.methods = read.methods;
    out.parameters = read.parameters;
    out.thrown = read.thrown;
    return true;
}

std::vector<std::string_view> splitNames(std::string_view names) {
    std::vector<std::string_view> out;
    size_t pos = 0;
    while (pos < names.size()) {
        if (names[pos] == ' ') {
            ++pos;
            continue;
        }
        size_t end = names.find(' ', pos);
        if (end == std::string_view::npos) end = names.size();
        out.push_back(names.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

const MemberText& memberTextOnce(const char* label, const char* text, const char* placeholders) {
    // Keyed by the text's address only to find it again; nothing is ordered
    // or named by it.
    static std::map<const char*, std::unique_ptr<MemberText>> parsed;
    auto found = parsed.find(text);
    if (found != parsed.end()) return *found->second;
    auto read = std::make_unique<MemberText>();
    std::vector<std::string_view> names =
        placeholders != nullptr ? splitNames(placeholders) : std::vector<std::string_view>{};
    MemberTextError error;
    if (!parseMemberText(text != nullptr ? text : "", names, *read, error)) {
        std::fprintf(stderr, "member text of %s: %s\n", label, error.message.c_str());
        std::abort();
    }
    return *parsed.emplace(text, std::move(read)).first->second;
}
