// Errors and warnings in their final form: file, line, column, the excerpt
// of the node's source text, the warning filters, captures and deferred
// errors. Everything printed goes through the logger.

#include <cassert>

#include "codegen/compile_context.h"
#include "codegen/suggestions.h"
#include "diagnostics/diagnostics.h"
#include "foundation/logger.h"
#include "options/compile_options.h"

namespace {

constexpr uint32_t kErrorFlags = 0x10010;
constexpr uint32_t kWarningFlags = 0x10008;
constexpr uint32_t kTipFlags = 0x10001;
constexpr const char* kUnknownSource = "<未知的源文件>";
constexpr const char* kNoExcerpt = "<无法浏览源文件>";
constexpr size_t kExcerptLimit = 1000;
constexpr size_t kExcerptPart = 100;

bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// The node's file text; null when the project keeps none for it.
std::string_view nodeText(const SourceProject& project, const qeAbstractNode& node) {
    if (const MappedText* page = project.mappedText(static_cast<int32_t>(node.fileIndex)))
        return page->text.view();
    return project.fileTextView(node.fileIndex);
}

bool hasSpan(const qeAbstractNode& node) { return node.textEnd > node.textStart; }

}  // namespace

std::string CompileContext::sourceName(const model::NodeHandle& node) const {
    if (!node) return kUnknownSource;
    qestl::qestringA path = qestl::narrow(project.filePath(node->fileIndex));
    return path.empty() ? std::string(kUnknownSource) : std::string(path.view());
}

std::string CompileContext::sourceExcerpt(const model::NodeHandle& node) const {
    if (!node) return kNoExcerpt;
    std::string excerpt = "--> ";
    const std::string_view text = nodeText(project, *node);
    if (text.data() == nullptr) {
        excerpt += kNoExcerpt;
    } else {
        // A node of a static library may carry offsets of another text.
        const size_t start = std::min<size_t>(node->textStart, text.size());
        const size_t end = std::min<size_t>(node->textEnd, text.size());
        if (end > start) excerpt.append(text.substr(start, end - start));
    }
    if (excerpt.size() <= kExcerptLimit) return excerpt;
    // Cut on character boundaries: each part at most 100 bytes.
    size_t head = kExcerptPart;
    while (head > 0 && isContinuationByte(excerpt[head])) --head;
    size_t tail = excerpt.size() - kExcerptPart;
    while (tail < excerpt.size() && isContinuationByte(excerpt[tail])) ++tail;
    std::string cut = excerpt.substr(0, head);
    cut += "\n\t\n\t......\n\t......\n\t......\n\t";
    cut.append(excerpt, tail, std::string::npos);
    return cut;
}

void CompileContext::logError(std::string_view message) {
    if (activeCapture != nullptr) {
        activeCapture->errorText.append(message);
        activeCapture->hasError = 1;
        return;
    }
    logcat(kErrorFlags, "%s", std::string(message).c_str());
    ++errors;
}

void CompileContext::deliverError(std::string_view text, const model::NodeHandle& node) {
    if (!node) return logError(text);
    qestl::qestringA message(sourceName(node).c_str());
    const std::string body(text);
    if (hasSpan(*node)) {
        message.appendFormat("(行:%d, 字:%d, :%d) [Error]错误:\n\n%s", static_cast<int>(node->startLine + 1),
                             static_cast<int>(node->startColumn + 1), static_cast<int>(node->textEnd - node->textStart),
                             body.c_str());
        message.appendFormat("\n%s \n", sourceExcerpt(node).c_str());
    } else {
        appendErrorPosition(message, node->startLine, node->startColumn);
        message.appendFormat("\n\n%s", body.c_str());
    }
    logError(message.view());
}

void CompileContext::deliverWarning(uint32_t code, std::string_view text, const model::NodeHandle& node) {
    const uint32_t switches = options != nullptr ? options->warningFlags : 0;
    if (nestedUnits != 0 && (switches & kWarningFlagLw) == 0) return;
    if ((code == 318 || code == 325 || code == 326) && (switches & kWarningFlagWn) == 0) return;
    if (code == 330 && (switches & kWarningFlagWe) == 0) return;
    if (warningSuppression != 0) return;
    if (options != nullptr && options->suppressedWarnings.contains(static_cast<int32_t>(code))) return;

    const std::string body(text);
    const int number = static_cast<int>(code);
    qestl::qestringA message;
    if (!node) {
        message.appendFormat("<unknow source>(行:%d, 字:%d) [Warning:%d]警告:\n\n%s", 0, 0, number, body.c_str());
    } else {
        message.append(sourceName(node).c_str());
        const int line = static_cast<int>(node->startLine + 1);
        const int column = static_cast<int>(node->startColumn + 1);
        if (hasSpan(*node)) {
            message.appendFormat("(行:%d, 字:%d, :%d) [Warning:%d]警告:\n\n%s", line, column,
                                 static_cast<int>(node->textEnd - node->textStart), number, body.c_str());
            message.appendFormat("\n%s \n", sourceExcerpt(node).c_str());
        } else {
            message.appendFormat("(行:%d, 字:%d) [Warning:%d]警告:\n\n%s", line, column, number, body.c_str());
            message.appendFormat("\n%s \n", node->text.c_str());
        }
    }
    if (activeCapture != nullptr) {
        activeCapture->warningText.append(message);
        activeCapture->hasWarning = 1;
        return;
    }
    logcat(kWarningFlags, "%s", message.c_str());
}

void CompileContext::reportTip(const Diagnostic& entry, const model::NodeHandle& node) {
    assert(entry.kind == DiagnosticKind::Tip);
    if (!node || warningSuppression != 0) return;
    qestl::qestringA message(sourceName(node).c_str());
    const int line = static_cast<int>(node->startLine + 1);
    const int column = static_cast<int>(node->startColumn + 1);
    if (hasSpan(*node)) {
        message.appendFormat("(行:%d, 字:%d, :%d) [Tips]提示:\n\n%s", line, column,
                             static_cast<int>(node->textEnd - node->textStart), entry.text);
        message.appendFormat("\n%s \n", sourceExcerpt(node).c_str());
    } else {
        message.appendFormat("(行:%d, 字:%d) [Tips]提示:\n\n%s", line, column, entry.text);
    }
    logcat(kTipFlags, "%s", message.c_str());
}

void CompileContext::deferText(std::string_view text, const model::NodeHandle& node) {
    ++deferred.count;
    deferred.add(text, node);
}

void CompileContext::reportTextOnce(std::string_view text, const model::NodeHandle& node) {
    if (!reportedOnce.emplace(node.get(), std::string(text)).second) return;
    deliverError(text, node);
}

void CompileContext::reportDeferred() {
    for (const DeferredDiagnostics::Entry& entry : deferred.entries()) {
        if (!entry.node) {
            deliverError(entry.text.view(), entry.node);
            continue;
        }
        if ((entry.node->flags & NodeFlag::DeclarationMark) == 0) continue;
        entry.node->flags &= ~NodeFlag::DeclarationMark;
        if (entry.suggesting == nullptr) {
            reportTextOnce(entry.text.view(), entry.node);
            continue;
        }
        qestl::qestringA listing;
        codegen::NearMissList outer;
        outer.swap(nearMisses);
        nearMisses = entry.suggestions;
        appendDidYouMean(*this, listing, entry.node);
        nearMisses.swap(outer);
        reportTextOnce(formatDiagnostic(*entry.suggesting, {DiagnosticArgument(listing)}), entry.node);
    }
}

// ---- captures and deferred errors

void DiagnosticCapture::begin(CompileContext& context) {
    parent = context.activeCapture;
    context.activeCapture = this;
}

void DiagnosticCapture::appendError(std::string_view text) {
    errorText.append(text);
    hasError = 1;
}

void DiagnosticCapture::report(CompileContext& context) {
    qestl::qestringA errors(errorPrefix);
    errors.append(errorText);
    if (!errors.empty()) context.reportError(diag::CapturedErrors, model::NodeHandle(), errors);
    qestl::qestringA warnings(warningPrefix);
    warnings.append(warningText);
    if (!warnings.empty()) context.reportWarning(diag::CapturedWarnings, model::NodeHandle(), warnings);
}

void DiagnosticCapture::close(CompileContext& context) {
    context.activeCapture = parent;
    closed = 1;
    if (parent == nullptr) return;
    parent->errorPrefix.append(errorPrefix);
    parent->errorPrefix.append(errorText);
    parent->warningPrefix.append(warningPrefix);
    parent->warningPrefix.append(warningText);
}

void DeferredDiagnostics::add(std::string_view text, const _KNode<qeAbstractNode>& node) {
    if (node) {
        if (!marked_.insert(node.get()).second) return;
        node->flags |= NodeFlag::DeclarationMark;
    }
    entries_.push_back(Entry{qestl::qestringA(text), node, nullptr, {}});
}

void DeferredDiagnostics::addSuggesting(const Diagnostic& entry, const _KNode<qeAbstractNode>& node,
                                        const codegen::NearMissList& suggestions) {
    if (node) {
        if (!marked_.insert(node.get()).second) return;
        node->flags |= NodeFlag::DeclarationMark;
    }
    entries_.push_back(Entry{qestl::qestringA(), node, &entry, suggestions});
}

void DeferredDiagnostics::clear() {
    retry = 0;
    count = 0;
    marked_.clear();
    entries_.clear();
}
