// The annotations that act when their node is compiled: @Deprecated,
// @Error, @Compiler, @Warning, @Version and @Require. They emit no code;
// their effects are diagnostics at the annotation and the @Version rewrite.
#include <string>

#include "codegen/compile_context.h"
#include "diagnostics/diagnostics.h"
#include "foundation/signed_digits.h"
#include "source/annotation_edit.h"
#include "statements/compile_walk.h"

namespace {

constexpr const char* kCompilerVersion = "4.9";

// The value text of the first parameter `key` that has one, as written.
const NodeText* valueOf(const StatementNode& annotation, std::string_view key) {
    for (const StatementNode& parameter : annotation->operands) {
        if (!parameter || parameter->text.view() != key || parameter->operands.empty()) continue;
        if (const StatementNode& value = parameter->operands[0]) return &value->text;
    }
    return nullptr;
}

// A string literal loses its quotes; any other text stays.
std::string unquoted(const NodeText& text) {
    const std::string_view view = text.view();
    if (view.size() >= 2 && (view.front() == '"' || view.back() == '"')) return std::string(view.substr(1, view.size() - 2));
    return std::string(view);
}


// Optional sign, then digits; base 8 after a leading 0.
int32_t warningCode(const NodeText& text) { return qestl::readSignedDigits(text.c_str()).as<int32_t>(); }

void replaceAll(std::string& text, std::string_view what, std::string_view with) {
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

void compileDeprecated(CompileContext& context, const StatementNode& annotation) {
    const NodeText* version = valueOf(annotation, "version");
    const NodeText* message = valueOf(annotation, "message");
    const std::string_view said = message != nullptr ? message->view() : std::string_view();
    if (version != nullptr) context.reportWarning(diag::DeprecatedSince, annotation, version->view(), said);
    else context.reportWarning(diag::Deprecated, annotation, said);
}

void compileVersion(CompileContext& context, const StatementNode& annotation) {
    const NodeText* value = valueOf(annotation, "value");
    if (value == nullptr || !value->view().starts_with("\"$")) return;
    std::string text(value->view());
    replaceAll(text, "$FileVersion", context.fileVersionText());
    replaceAll(text, "$ProductVersion", context.productVersionText());
    setAnnotationParameter(*annotation, "value", text.c_str());
}

void compileRequire(CompileContext& context, const StatementNode& annotation) {
    const NodeText* target = valueOf(annotation, "PackageName");
    const bool package = target != nullptr && !target->empty();
    if (!package) target = valueOf(annotation, "ClassName");
    if (target == nullptr) return;
    const NodeText* version = valueOf(annotation, "version");
    const std::string name = target->view().starts_with("\"") ? unquoted(*target) : std::string(target->view());

    qestl::SmartPtr found;
    if (package) {
        std::string key = "/" + name;
        for (char& c : key)
            if (c == ',') c = '/';
        auto listed = context.lookup().packages().find(key);
        if (listed != context.lookup().packages().end()) found = listed->second;
    } else {
        found = context.resolveDottedName(name);
    }

    enum class Status { Ok, Error, Indeterminacy, Mismatch } status = Status::Ok;
    const NodeText* declared = nullptr;
    if (!found) {
        status = Status::Error;
    } else if (model::IRObject* object = model::asObject(found); !object || !object->declarationNode) {
        status = Status::Indeterminacy;
    } else if (version != nullptr) {
        const StatementNode list = object->declarationNode.handle()->annotations();
        StatementNode versionAnnotation;
        if (list)
            for (const StatementNode& candidate : list->operands)
                if (candidate && candidate->text.view() == "Version") {
                    versionAnnotation = candidate;
                    break;
                }
        declared = versionAnnotation ? valueOf(versionAnnotation, "value") : nullptr;
        if (declared == nullptr) status = Status::Indeterminacy;
        else if (!compareDottedVersions(unquoted(*version).c_str(), unquoted(*declared).c_str())) status = Status::Mismatch;
    }
    if (status == Status::Ok) return;

    std::string description = name;
    const std::pair<const char*, const NodeText*> parts[] = {{",ver:", version},
                                                                    {",repository:", valueOf(annotation, "repository")},
                                                                    {",url:", valueOf(annotation, "url")},
                                                                    {",dlurl:", valueOf(annotation, "dlurl")}};
    for (const auto& [label, value] : parts)
        if (value != nullptr) description.append(label).append(value->view());
    switch (status) {
    case Status::Error: context.reportError(diag::RequireMissing, annotation, description); break;
    case Status::Indeterminacy: context.reportWarning(diag::RequireIndeterminate, annotation, description); break;
    default: context.reportWarning(diag::RequireMismatch, annotation, description, declared->view()); break;
    }
}

}  // namespace

void compileAnnotations(CompileContext& context, const StatementNode& node) {
    if (!node->annotations()) return;
    for (const StatementNode& annotation : node->annotations()->operands) {
        if (!annotation) continue;
        const std::string_view name = annotation->text.view();
        if (name == "Deprecated") {
            compileDeprecated(context, annotation);
        } else if (name == "Error") {
            if (const NodeText* message = valueOf(annotation, "message")) {
                context.reportError(diag::UserError, annotation, unquoted(*message));
                return;
            }
        } else if (name == "Compiler") {
            const NodeText* version = valueOf(annotation, "version");
            if (version != nullptr && !compareDottedVersions(unquoted(*version).c_str(), kCompilerVersion)) {
                context.reportError(diag::CompilerVersion, annotation, version->view());
                return;
            }
        } else if (name == "Warning") {
            const NodeText* message = valueOf(annotation, "message");
            if (message == nullptr) continue;
            const NodeText* code = valueOf(annotation, "code");
            context.reportWarningNumbered(diag::UserWarning,
                                          static_cast<uint32_t>(code != nullptr ? warningCode(*code) : 0), annotation,
                                          unquoted(*message));
        } else if (name == "Version") {
            compileVersion(context, annotation);
        } else if (name == "Require") {
            compileRequire(context, annotation);
        }
    }
}
