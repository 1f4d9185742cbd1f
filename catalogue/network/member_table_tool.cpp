// Reads every member text of the built-in catalogue and of the core built-ins
// when the compiler is built and writes their tables as C++ data, so the
// compiler declares the catalogue without reading a text at start. The texts
// stay the one source; a text that does not read fails the build here.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "builtins/core_texts.h"
#include "catalogue/network/network_catalogue.h"
#include "catalogue/system/system_catalogue.h"
#include "catalogue/text/text_catalogue.h"

namespace {

struct Source {
    std::string label;
    const char* text;
    const char* placeholders;
    bool ownText = true;  // the text of the one class its label names
};

std::string literal(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// A member's name: a second 0 byte behind the literal's own lets the
// compiler's strings read it in place.
std::string nameLiteral(std::string_view name) {
    std::string out = literal(name);
    out.insert(out.size() - 1, "\\0");
    return out;
}

// The numbers of the named types, by name and depth, in the order met.
std::vector<std::pair<std::string, uint8_t>> gTypeNumbers;
// The numbers of the parameters of named types, by name, type and mark.
std::vector<std::string> gParameterNumbers;

std::string typeText(const MemberType& type);

std::string parameterNumber(const MemberParameter& p) {
    if (p.type.placeholder >= 0) return "0";
    const std::string key = std::string(p.name) + " " + typeText(p.type) + (p.notNilptr ? "!" : "");
    auto found = std::find(gParameterNumbers.begin(), gParameterNumbers.end(), key);
    if (found == gParameterNumbers.end()) found = gParameterNumbers.insert(found, key);
    return std::to_string(static_cast<size_t>(found - gParameterNumbers.begin()) + 1);
}

std::string typeText(const MemberType& type) {
    size_t number = 0;
    if (type.placeholder < 0) {
        const std::pair<std::string, uint8_t> key(std::string(type.name), type.arrayDepth);
        auto found = std::find(gTypeNumbers.begin(), gTypeNumbers.end(), key);
        if (found == gTypeNumbers.end()) found = gTypeNumbers.insert(found, key);
        number = static_cast<size_t>(found - gTypeNumbers.begin()) + 1;
    }
    return "{" + literal(type.name) + ", " + std::to_string(type.arrayDepth) + ", " + std::to_string(type.placeholder) +
           ", " + std::to_string(number) + "}";
}

const char* boolText(bool value) { return value ? "true" : "false"; }

// A class's link name as the registry gives it: "/" and the name, a nested
// class's under its owner's, the root class "Object" as "/*", then "[]" per
// dimension.
std::string typeLink(std::string_view name, uint8_t arrayDepth) {
    std::string out = name == "Object" ? std::string("/*") : "/" + std::string(name);
    for (char& c : out)
        if (c == '.') c = '/';
    for (uint8_t i = 0; i < arrayDepth; ++i) out += "[]";
    return out;
}

// The link names of a text's methods on a class of link name `owner`: the
// result type's and "@" (none for a constructor), the class's, "/" and the
// name, "#C" for a static or final method, and the parameter types. None
// when a type is a placeholder or a template, whose link names depend on
// their instance and on when they were registered.
std::vector<std::string> methodLinks(const MemberText& text, const std::string& owner,
                                     const std::vector<std::string>& templates) {
    const auto plain = [&](const MemberType& type) {
        return type.placeholder < 0 && std::find(templates.begin(), templates.end(), type.name) == templates.end();
    };
    std::vector<std::string> links;
    for (const MemberMethod& m : text.methods) {
        if (m.hasResult && !plain(m.result)) return {};
        std::string link = m.hasResult ? typeLink(m.result.name, m.result.arrayDepth) + "@" : std::string();
        link += owner + "/" + std::string(m.name) + (m.isStatic || m.isFinal ? "#C(" : "(");
        for (const MemberParameter& p : text.parametersOf(m)) {
            if (!plain(p.type)) return {};
            if (link.back() != '(') link += ",";
            link += typeLink(p.type.name, p.type.arrayDepth);
        }
        links.push_back(link + ")");
    }
    return links;
}

// Whether no two methods of one table share a name and parameter types,
// and no two constants a name.
bool distinctMethods(const MemberText& text) {
    std::vector<std::string> keys;
    for (const MemberConstant& c : text.constants) keys.push_back("c " + std::string(c.name));
    for (const MemberMethod& m : text.methods) {
        std::string key = std::string(m.isStatic ? "s " : "d ") + std::string(m.name) + "(";
        for (const MemberParameter& p : text.parametersOf(m))
            key += std::string(p.type.name) + ":" + std::to_string(p.type.arrayDepth) + ",";
        keys.push_back(key);
    }
    std::sort(keys.begin(), keys.end());
    return std::adjacent_find(keys.begin(), keys.end()) == keys.end();
}

const char* constantType(ConstantKind kind) {
    switch (kind) {
    case ConstantKind::Int: return "int";
    case ConstantKind::Char: return "char";
    case ConstantKind::Double: return "double";
    }
    return "int";
}

// One text's arrays and its MemberText, all named by its index; `owner` is
// the link name of the class the method link names are written for.
void writeText(std::string& out, size_t index, const MemberText& text, const std::string& owner,
               const std::vector<std::string>* links) {
    const std::string n = std::to_string(index);
    auto open = [&](const char* type, const char* what, size_t count) {
        if (count == 0) return false;
        out += "constexpr " + std::string(type) + " k" + what + n + "[] = {\n";
        return true;
    };
    if (open("MemberField", "Fields", text.fields.size())) {
        for (const MemberField& f : text.fields)
            out += "    {" + typeText(f.type) + ", " + nameLiteral(f.name) + ", " + boolText(f.isFinal) + "},\n";
        out += "};\n";
    }
    if (open("MemberConstant", "Constants", text.constants.size())) {
        for (const MemberConstant& c : text.constants)
            out += "    {ConstantKind(" + std::to_string(static_cast<int>(c.kind)) + "), " + nameLiteral(c.name) +
                   ", " + std::to_string(c.bits) + "ull, " +
                   (links == nullptr ? std::string("{}")
                                     : nameLiteral(typeLink(constantType(c.kind), 0) + "@" + owner + "/" +
                                                   std::string(c.name) + "#C")) +
                   "},\n";
        out += "};\n";
    }
    if (open("MemberMethod", "Methods", text.methods.size())) {
        size_t at = 0;
        for (const MemberMethod& m : text.methods)
            out += "    {" + nameLiteral(m.name) + ", " + typeText(m.result) + ", " + boolText(m.hasResult) + ", " +
                   boolText(m.isStatic) + ", " + boolText(m.isFinal) + ", " + boolText(m.noObjectReturn) + ", " +
                   boolText(m.isAbstract) + ", " + std::to_string(m.firstParameter) + ", " +
                   std::to_string(m.parameterCount) + ", " + std::to_string(m.firstThrown) + ", " +
                   std::to_string(m.thrownCount) + ", " + std::to_string(m.line) + ", " +
                   (links == nullptr ? std::string("{}") : nameLiteral((*links)[at++])) + "},\n";
        out += "};\n";
    }
    if (open("MemberParameter", "Parameters", text.parameters.size())) {
        for (const MemberParameter& p : text.parameters)
            out += "    {" + typeText(p.type) + ", " + nameLiteral(p.name) + ", " + boolText(p.notNilptr) + ", " +
                   (links == nullptr
                        ? std::string("{}")
                        : nameLiteral(typeLink(p.type.name, p.type.arrayDepth) + "@/" + std::string(p.name))) +
                   ", " + parameterNumber(p) + "},\n";
        out += "};\n";
    }
    if (open("std::string_view", "Thrown", text.thrown.size())) {
        for (std::string_view t : text.thrown) out += "    " + literal(t) + ",\n";
        out += "};\n";
    }
    auto view = [&](const char* what, size_t count) {
        return count == 0 ? std::string("{}") : "k" + std::string(what) + n;
    };
    // constinit: the texts and their index lie in the binary as written,
    // read in place. Made by a start-up's initializers, every start wrote
    // them into fresh pages of its own.
    out += "constinit const MemberText kText" + n + "{" + view("Fields", text.fields.size()) + ", " +
           view("Constants", text.constants.size()) + ", " + view("Methods", text.methods.size()) + ", " +
           view("Parameters", text.parameters.size()) + ", " + view("Thrown", text.thrown.size()) +
           (links == nullptr ? std::string(", {}") : ", " + literal(owner)) + ", " + boolText(distinctMethods(text)) +
           "};\n\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: korvo_member_tool OUTPUT\n");
        return 2;
    }
    std::vector<Source> sources;
    std::vector<std::string> templates;
    for (auto family : {textCatalogue(), systemCatalogue(), networkCatalogue()})
        for (const CatalogueClass& entry : family) {
            const std::string qualified = entry.owner != nullptr ? std::string(entry.owner) + "." + entry.name
                                                                 : entry.name;
            if (entry.kind == CatalogueKind::Template) templates.push_back(qualified);
            if (entry.members != nullptr) sources.push_back({qualified, entry.members, entry.placeholders});
        }
    templates.push_back("RemoteCallPipe");
    // A core text's label is its class's name but for the constructors that
    // every exception class shares.
    for (const builtins::CoreMemberText& core : builtins::coreMemberTexts())
        sources.push_back({core.label, core.text, core.placeholders,
                           std::string_view(core.label).find(' ') == std::string_view::npos});
    std::stable_sort(sources.begin(), sources.end(),
                     [](const Source& a, const Source& b) { return a.label < b.label; });

    std::string out =
        "// Generated by korvo_member_tool from the member texts of the catalogue;\n"
        "// do not edit.\n"
        "#include \"builtins/catalogue_class.h\"\n\nnamespace {\n\n";
    std::string index;
    size_t written = 0;
    for (size_t i = 0; i < sources.size(); ++i) {
        const Source& s = sources[i];
        const auto same = [&](const Source& o) {
            return std::strcmp(o.text, s.text) == 0 &&
                   std::string_view(o.placeholders ? o.placeholders : "") == (s.placeholders ? s.placeholders : "");
        };
        if (i > 0 && sources[i - 1].label == s.label) {
            // TimerTask's one method stands in the catalogue and among the
            // core texts; one label must name one text.
            if (same(sources[i - 1])) continue;
            std::fprintf(stderr, "korvo_member_tool: two different member texts are named %s\n", s.label.c_str());
            return 1;
        }
        std::vector<std::string_view> names =
            s.placeholders != nullptr ? splitNames(s.placeholders) : std::vector<std::string_view>{};
        MemberText text;
        MemberTextError error;
        if (!parseMemberText(s.text, names, text, error)) {
            std::fprintf(stderr, "korvo_member_tool: member text of %s: %s\n", s.label.c_str(), error.message.c_str());
            return 1;
        }
        const std::string owner = typeLink(s.label, 0);
        const bool linked = s.ownText && s.placeholders == nullptr &&
                            std::find(templates.begin(), templates.end(), s.label) == templates.end();
        std::vector<std::string> links;
        if (linked) links = methodLinks(text, owner, templates);
        writeText(out, written, text, owner, linked && links.size() == text.methods.size() ? &links : nullptr);
        index += "    {" + literal(s.label) + ", " + std::to_string(std::strlen(s.text)) + ", " +
                 (s.placeholders != nullptr ? literal(s.placeholders) : std::string("nullptr")) + ", &kText" +
                 std::to_string(written) + "},\n";
        ++written;
    }
    if (gTypeNumbers.size() > UINT16_MAX || gParameterNumbers.size() > UINT16_MAX) {
        std::fprintf(stderr, "korvo_member_tool: more named types than a number holds\n");
        return 1;
    }
    out += "constinit const PrebuiltMemberText kPrebuilt[] = {\n" + index + "};\n\n}  // namespace\n\n";
    out += "std::span<const PrebuiltMemberText> prebuiltMemberTexts() { return kPrebuilt; }\n";

    // Written whole: a stopped build leaves no half table.
    const std::string path = argv[1];
    const std::string temporary = path + ".tmp";
    FILE* f = std::fopen(temporary.c_str(), "wb");
    if (f == nullptr || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0 ||
        std::rename(temporary.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "korvo_member_tool: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}
