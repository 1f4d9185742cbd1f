// The member text of a built-in class: one line per field, typed constant or
// method, in declaration order, read into a compact form that the
// declaration engine walks for every compilation. The catalogue's texts are
// read when the compiler is built (a generator writes their tables); any
// other text is read once per process.
//
//   field [final] <type> <name>
//   const int|char|double <name> = <value>
//   [static] [final] [noobj] [abstract] <type>|- <name>(<type>[!] <pname>, ...) [throws <Class>, ...]
//
// A type is a class name, dotted for a nested class (`Pattern.Result`), with
// any number of "[]" behind it; `-` stands for no result (a constructor). "!"
// marks a NotNilptr parameter. A method name is an identifier or an operator
// text ("+", "==", "[]"). An int constant is decimal (with an optional '-')
// or 0x-hexadecimal up to 32 bits; a char constant is 0 to 65535; a double
// constant is given by its IEEE 754 bit pattern (0x and up to 16 hex digits),
// never by a decimal value that a conversion could round. Blank lines are
// skipped.
//
// Names stay names here: the registry resolves them for each compilation.
// Every name is a view into the text, so the text must outlive the result
// (the catalogue's texts are static data).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

struct MemberType {
    std::string_view name;   // "int", "Pattern.Result", "Element"
    uint8_t arrayDepth = 0;  // one per "[]"
    int8_t placeholder = -1; // index into the placeholder list, -1 for a named type
    // In the generated tables, a named type's number among every name and
    // depth the catalogue's texts use (from 1): a compilation resolves each
    // once. 0 in a text read at run time.
    uint16_t number = 0;

    bool operator==(const MemberType&) const = default;
};

struct MemberField {
    MemberType type;
    std::string_view name;
    bool isFinal = false;  // read-only (Thread.id)
};

enum class ConstantKind : uint8_t { Int, Char, Double };

struct MemberConstant {
    ConstantKind kind;
    std::string_view name;
    // int: the value sign-extended; char: the code unit; double: the bits.
    uint64_t bits;
    // Written with the generated tables as a method's link name is.
    std::string_view linkName = {};
};

struct MemberParameter {
    MemberType type;
    std::string_view name;
    bool notNilptr = false;
    // Written with the generated tables as a method's link name is.
    std::string_view linkName = {};
    // In the generated tables, the parameter's number among every name,
    // named type and NotNilptr mark the catalogue's texts use (from 1); 0
    // for a placeholder's type and in a text read at run time.
    uint16_t number = 0;
};

struct MemberMethod {
    std::string_view name;
    MemberType result;             // meaningful only when hasResult
    bool hasResult = false;        // false for "-"
    bool isStatic = false;
    bool isFinal = false;          // non-virtual
    bool noObjectReturn = false;   // "noobj"
    bool isAbstract = false;       // no stub
    uint16_t firstParameter = 0;   // into MemberText::parameters
    uint16_t parameterCount = 0;
    uint16_t firstThrown = 0;      // into MemberText::thrown
    uint16_t thrownCount = 0;
    uint32_t line = 0;             // 1-based line in the text
    // The method's link name, written with the generated tables when the
    // text's types all name classes the generator knows the link name of;
    // empty otherwise (and for a text read at run time).
    std::string_view linkName;
};

// A member text read into tables: views into static data generated when the
// compiler is built, or into the storage of a text read at run time.
struct MemberText {
    std::span<const MemberField> fields;
    std::span<const MemberConstant> constants;
    std::span<const MemberMethod> methods;  // declaration order = slot order per table
    std::span<const MemberParameter> parameters;
    std::span<const std::string_view> thrown;

    // The generated tables write every field, constant, method and parameter
    // name with a second 0 byte behind its terminator, so a string can read
    // the name in place (qestring::ofStaticText).
    bool staticNames = false;
    // The link name of the class the methods' link names were written for
    // ("/Pattern/Result"); empty when they were not written. A class of
    // another link name builds its methods' own.
    std::string_view ownerLink;
    // No two methods of one table (static or not) share a name and the
    // parameter type names, and no two constants a name: in a class whose
    // method tables are empty, every method is new, and so is every constant
    // in an empty static property table.
    bool distinctMethods = false;

    MemberText() = default;
    // The generated tables' constructor.
    constexpr MemberText(std::span<const MemberField> f, std::span<const MemberConstant> c,
                         std::span<const MemberMethod> m, std::span<const MemberParameter> p,
                         std::span<const std::string_view> t, std::string_view owner = {}, bool distinct = false)
        : fields(f),
          constants(c),
          methods(m),
          parameters(p),
          thrown(t),
          staticNames(true),
          ownerLink(owner),
          distinctMethods(distinct) {}
    // The views may point into this text's own storage: moving keeps the
    // buffers, a copy would not.
    MemberText(const MemberText&) = delete;
    MemberText& operator=(const MemberText&) = delete;
    MemberText(MemberText&&) = default;
    MemberText& operator=(MemberText&&) = default;

    std::span<const MemberParameter> parametersOf(const MemberMethod& m) const {
        return parameters.subspan(m.firstParameter, m.parameterCount);
    }
    std::span<const std::string_view> thrownOf(const MemberMethod& m) const {
        return thrown.subspan(m.firstThrown, m.thrownCount);
    }

    // The storage of a text read at run time (empty for a generated table).
    struct Storage {
        std::vector<MemberField> fields;
        std::vector<MemberConstant> constants;
        std::vector<MemberMethod> methods;
        std::vector<MemberParameter> parameters;
        std::vector<std::string_view> thrown;
    } storage;
};

struct MemberTextError {
    uint32_t line = 0;     // 1-based
    std::string message;   // "line 3: expected ')' after the parameters"
};

// A method record holds at most this many parameters.
inline constexpr int kMaxMemberParameters = 32;

// Reads `text` into `out` (cleared first). `placeholders` are the names the
// class binds per instance or per call (a template's "Element", "Key",
// "Value", "Iterator"); a type of that name records its index. On a bad line
// returns false with the line and a message in `error`.
bool parseMemberText(std::string_view text, std::span<const std::string_view> placeholders,
                     MemberText& out, MemberTextError& error);

// Splits a blank-separated name list ("Key Value Iterator") into views.
std::vector<std::string_view> splitNames(std::string_view names);

// The text read the first time it is asked for and kept for the rest of the
// process (texts are static data, known by their address). A text that does
// not read is a broken build: the message names `label` and the line, and the
// process aborts.
const MemberText& memberTextOnce(const char* label, const char* text, const char* placeholders);
