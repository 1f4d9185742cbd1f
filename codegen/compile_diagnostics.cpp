// Errors and warnings in their final form: file, line, column, the excerpt
// of the node's source text, the warning filters, captures and deferred
// errors. Everything printed goes through the logger.

#include "codegen/compile_diagnostics.h"

#include <algorithm>
#include <cassert>
#include <optional>

#include "diagnostics/diagnostics.h"
#include "foundation/logger.h"
#include "options/compile_options.h"
#include "source/source_project.h"

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
    if (const MappedText* page = project.mappedText(static_cast<int32_t>(node.fileIndex))) return page->text.view();
    return project.fileTextView(node.fileIndex);
}

bool hasSpan(const qeAbstractNode& node) { return node.textEnd > node.textStart; }

// A text as the C formats' "%s" reads it: up to its first zero byte.
void appendText(std::string& out, std::string_view text) { out.append(text.substr(0, text.find('\0'))); }

// Shown only when asked for: the null-pointer and test analysis with -wn,
// what an expression may throw with -we.
bool shownWithWnOnly(uint32_t code) {
    return code == diag::MaybeNilptr.warningNumber || code == diag::RedundantTest.warningNumber ||
           code == diag::ImpossibleTest.warningNumber;
}
bool shownWithWeOnly(uint32_t code) {
    static_assert(diag::MayThrow.warningNumber == diag::ThrowUncovered.warningNumber);
    return code == diag::MayThrow.warningNumber;
}

}  // namespace

std::string_view CompileDiagnostics::pathName(const qeAbstractNode& node) const {
    // An index keeps its path, and every warning of a program of many
    // classes names the same file: each path is narrowed once.
    const uint32_t index = node.fileIndex;
    if (index < narrowedPaths_.size() && !narrowedPaths_[index].empty()) return narrowedPaths_[index];
    const qestl::qestringA path = qestl::narrow(project_.filePath(index));
    if (path.empty()) return kUnknownSource;
    if (index >= narrowedPaths_.size()) narrowedPaths_.resize(index + 1);
    narrowedPaths_[index].assign(path.view());
    return narrowedPaths_[index];
}

std::string CompileDiagnostics::sourceName(const _KNode<qeAbstractNode>& node) const {
    return node ? std::string(pathName(*node)) : std::string(kUnknownSource);
}

std::string CompileDiagnostics::sourceExcerpt(const _KNode<qeAbstractNode>& node) const {
    if (!node) return kNoExcerpt;
    std::string excerpt = "--> ";
    const std::string_view text = nodeText(project_, *node);
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

void CompileDiagnostics::logError(std::string_view message) {
    if (capture_ != nullptr) {
        capture_->errorText.append(message);
        capture_->hasError = 1;
        return;
    }
    // As "%s" would print it, up to a zero byte, without formatting it again:
    // a refused program prints an error for each of a million classes.
    logcatText(kErrorFlags, message.substr(0, message.find('\0')));
    ++errors_;
}

void CompileDiagnostics::appendHeading(std::string& message, const qeAbstractNode& node, std::string_view label) const {
    appendText(message, pathName(node));
    appendPosition(message, static_cast<int>(node.startLine + 1), static_cast<int>(node.startColumn + 1),
                   hasSpan(node) ? static_cast<int>(node.textEnd - node.textStart) : -1);
    message.append(" ").append(label).append("\n\n");
}

void CompileDiagnostics::deliverError(std::string_view text, const _KNode<qeAbstractNode>& node) {
    if (!node) return logError(text);
    std::string message;
    appendHeading(message, *node, "[Error]错误:");
    appendText(message, text);
    if (hasSpan(*node)) {
        message.push_back('\n');
        appendText(message, sourceExcerpt(node));
        message.append(" \n");
    }
    logError(message);
}

void CompileDiagnostics::deliverWarning(uint32_t code, std::string_view text, const _KNode<qeAbstractNode>& node) {
    const uint32_t switches = options_ != nullptr ? options_->warningFlags : 0;
    if (nestedUnits_ != 0 && (switches & kWarningFlagLw) == 0) return;
    if (shownWithWnOnly(code) && (switches & kWarningFlagWn) == 0) return;
    if (shownWithWeOnly(code) && (switches & kWarningFlagWe) == 0) return;
    if (suppression_ != 0) return;
    if (options_ != nullptr && options_->suppressedWarnings.contains(static_cast<int32_t>(code))) return;

    // Written piece by piece: a program of many unused classes has a warning
    // for each, and the format engine took most of the time they cost.
    std::string label = "[Warning:";
    label.append(std::to_string(static_cast<int>(code)));
    label.append("]警告:");
    std::string message;
    if (!node) {
        message.append("<unknow source>");
        appendPosition(message, 0, 0);
        message.append(" ").append(label).append("\n\n");
        appendText(message, text);
    } else {
        appendHeading(message, *node, label);
        appendText(message, text);
        message.push_back('\n');
        if (hasSpan(*node)) appendText(message, sourceExcerpt(node));
        else appendText(message, node->text.view());
        message.append(" \n");
    }
    if (capture_ != nullptr) {
        capture_->warningText.append(std::string_view(message));
        capture_->hasWarning = 1;
        return;
    }
    logcatText(kWarningFlags, message);
}

void CompileDiagnostics::reportTip(const Diagnostic& entry, const _KNode<qeAbstractNode>& node) {
    assert(entry.kind == DiagnosticKind::Tip);
    if (!node || suppression_ != 0) return;
    std::string message;
    appendHeading(message, *node, "[Tips]提示:");
    appendText(message, entry.text);
    if (hasSpan(*node)) {
        message.push_back('\n');
        appendText(message, sourceExcerpt(node));
        message.append(" \n");
    }
    logcatText(kTipFlags, message);
}

void CompileDiagnostics::deferError(std::string_view text, const _KNode<qeAbstractNode>& node) {
    deferred_.add(text, node);
}

void CompileDiagnostics::reportErrorOnce(std::string_view text, const _KNode<qeAbstractNode>& node) {
    if (!reportedOnce_.add(node.get(), text)) return;
    deliverError(text, node);
}

void CompileDiagnostics::setOptions(const CompileOptions* options) {
    options_ = options;
    suppression_ = options != nullptr ? options->warningSwitch : 0;
}

void CompileDiagnostics::reset() {
    deferred_.clear();
    reportedOnce_.clear();
}

void CompileDiagnostics::countError() {
    if (capture_ != nullptr) capture_->hasError = 1;
    else ++errors_;
}

// ---- scoped guards

CompileDiagnostics::ErrorsPutAside::ErrorsPutAside(CompileDiagnostics& diagnostics)
    : diagnostics_(diagnostics), putAside_(diagnostics.errors_ != 0) {
    if (!putAside_) return;
    ++diagnostics.levelsPutAside_;
    diagnostics.errors_ = 0;
}

CompileDiagnostics::ErrorsPutAside::~ErrorsPutAside() {
    if (!putAside_) return;
    --diagnostics_.levelsPutAside_;
    diagnostics_.errors_ = 1;
}

CompileDiagnostics::SuppressWarnings::SuppressWarnings(CompileDiagnostics& diagnostics, uint32_t levels)
    : diagnostics_(diagnostics), levels_(levels) {
    diagnostics.suppression_ += levels_;
}

CompileDiagnostics::SuppressWarnings::~SuppressWarnings() { diagnostics_.suppression_ -= levels_; }

CompileDiagnostics::NestedUnit::NestedUnit(CompileDiagnostics& diagnostics, bool active)
    : diagnostics_(diagnostics), active_(active) {
    if (active_) ++diagnostics.nestedUnits_;
}

void CompileDiagnostics::NestedUnit::end() {
    if (!active_) return;
    active_ = false;
    --diagnostics_.nestedUnits_;
}

// ---- captures and deferred errors

void DiagnosticCapture::begin(CompileDiagnostics& diagnostics) {
    parent = diagnostics.capture_;
    diagnostics.capture_ = this;
}

void DiagnosticCapture::appendError(std::string_view text) {
    errorText.append(text);
    hasError = 1;
}

void DiagnosticCapture::report(CompileDiagnostics& diagnostics) {
    qestl::qestringA errors(errorPrefix);
    errors.append(errorText);
    if (!errors.empty())
        diagnostics.deliverError(formatDiagnostic(diag::CapturedErrors, {DiagnosticArgument(errors)}),
                                 _KNode<qeAbstractNode>());
    qestl::qestringA warnings(warningPrefix);
    warnings.append(warningText);
    if (!warnings.empty())
        diagnostics.deliverWarning(diag::CapturedWarnings.warningNumber,
                                   formatDiagnostic(diag::CapturedWarnings, {DiagnosticArgument(warnings)}),
                                   _KNode<qeAbstractNode>());
}

void DiagnosticCapture::detach(CompileDiagnostics& diagnostics) { diagnostics.capture_ = parent; }

void DiagnosticCapture::close(CompileDiagnostics& diagnostics) {
    diagnostics.capture_ = parent;
    closed = 1;
    if (parent == nullptr) return;
    parent->errorPrefix.append(errorPrefix);
    parent->errorPrefix.append(errorText);
    parent->warningPrefix.append(warningPrefix);
    parent->warningPrefix.append(warningText);
}

void DeferredDiagnostics::add(std::string_view text, const _KNode<qeAbstractNode>& node) {
    ++unsettled_;
    if (node) {
        if ((node->flags & NodeFlag::DeclarationMark) != 0) return;
        node->flags |= NodeFlag::DeclarationMark;
    }
    entries_.push_back(Entry{node, nullptr, static_cast<uint32_t>(texts_.size()), static_cast<uint32_t>(text.size())});
    texts_.append(text);
}

void DeferredDiagnostics::addSuggesting(const Diagnostic& entry, const _KNode<qeAbstractNode>& node,
                                        const codegen::NearMissList& suggestions) {
    ++unsettled_;
    if (node) {
        if ((node->flags & NodeFlag::DeclarationMark) != 0) return;
        node->flags |= NodeFlag::DeclarationMark;
    }
    if (!suggestions.onlyNoted()) {
        entries_.push_back(Entry{node, &entry, static_cast<uint32_t>(wholeLists_.size()), kWholeList});
        wholeLists_.push_back(suggestions);
        return;
    }
    const auto first = static_cast<uint32_t>(noted_.size());
    // One lookup notes one name in a run of places: its text is kept once.
    std::string_view lastName;
    uint32_t lastAt = 0;
    suggestions.forEachNoted(
        [&](model::Container& container, std::string_view name, uint32_t number, size_t memberCount) {
            if (lastName.data() == nullptr || name != lastName) {
                lastAt = static_cast<uint32_t>(notedNames_.size());
                notedNames_.append(name);
                lastName = name;
            }
            noted_.push_back(Noted{&container, lastAt, static_cast<uint32_t>(name.size()), number,
                                   static_cast<uint32_t>(memberCount)});
        });
    entries_.push_back(Entry{node, &entry, first, static_cast<uint32_t>(noted_.size()) - first});
}

codegen::NearMissList DeferredDiagnostics::suggestionsOf(const Entry& entry) const {
    if (entry.count == kWholeList) return wholeLists_[entry.at];
    codegen::NearMissList list;
    for (uint32_t i = entry.at; i < entry.at + entry.count; ++i) {
        const Noted& noted = noted_[i];
        list.defer(*noted.container, std::string_view(notedNames_).substr(noted.nameAt, noted.nameLength), noted.number,
                   noted.memberCount);
    }
    return list;
}

void DeferredDiagnostics::prefetchSuggestionsOf(const Entry& entry) const {
    if (entry.suggesting == nullptr || entry.count == kWholeList) return;
    // The places one lookup noted share the name's text: hashed once.
    std::optional<qestl::HashedText> name;
    for (uint32_t i = entry.at; i < entry.at + entry.count; ++i) {
        const Noted& noted = noted_[i];
        if (!name || name->text.data() != notedNames_.data() + noted.nameAt)
            name.emplace(std::string_view(notedNames_).substr(noted.nameAt, noted.nameLength));
        noted.container->prefetchSimilarNames(*name, noted.number);
    }
}

void DeferredDiagnostics::clear() {
    restartCounts();
    // Every marked node has its entry: the marks go with the entries.
    for (const Entry& entry : entries_)
        if (entry.node) entry.node->flags &= ~NodeFlag::DeclarationMark;
    entries_.clear();
    texts_.clear();
    noted_.clear();
    notedNames_.clear();
    wholeLists_.clear();
}
