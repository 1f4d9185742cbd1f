#include "source/source_processor.h"

#include <cstdlib>
#include <cstring>

#include "foundation/logger.h"
#include "source/rule_dispatch.h"
#include "source/source_errors.h"
#include "source/source_project.h"
#include "syntax/rules.h"
#include "syntax/syntax_hint.h"

namespace {

const Grammar* gGrammar = nullptr;

constexpr uint32_t kErrorFlags = 0x10010;
constexpr uint32_t kFirstRuleBit = 95;
constexpr uint32_t kLastRuleBit = 255;

bool holdsAnyRule(const TokenRecord* record) {
    for (uint32_t bit = kFirstRuleBit; bit <= kLastRuleBit; ++bit) {
        if (record->matches.test(bit)) return true;
    }
    return false;
}

}  // namespace

void setSourceGrammar(const Grammar* grammar) { gGrammar = grammar; }

qeSourceProcessor::qeSourceProcessor(uint32_t depth) : depth_(depth) {
    parser_.setEndOfInputHint(SyntaxHint::None);
    parser_.setFastPath(true, korvoCachedWalks());
}

qeSourceProcessor::~qeSourceProcessor() {
    // The window's records are ours to free: reset with this listener attached.
    parser_.attach(nullptr, this, nullptr);
    parser_.reset();
}

qestl::qestringA qeSourceProcessor::currentPath() const {
    if (project_ == nullptr) return qestl::qestringA();
    return qestl::narrow(project_->filePath(fileIndex_));
}

void logSourceError(const qestl::qestringA& path, uint32_t line, uint32_t column, const char* message) {
    qestl::qestringA text(path);
    text.appendFormat("(行:%d, 字:%d) [Error]错误:\n\n%s", static_cast<int>(line + 1), static_cast<int>(column + 1),
                      message != nullptr ? message : kGeneralSyntaxError);
    logcat(kErrorFlags, "%s\n", text.c_str());
}

void qeSourceProcessor::reportError(const char* message, uint32_t line, uint32_t column) {
    if (project_ == nullptr) return;
    logSourceError(currentPath(), line, column, message);
}

void qeSourceProcessor::reportAt(const SourceInput* input, const char* format) {
    qestl::qestringA path;
    if (project_ != nullptr && input != nullptr) path = qestl::narrow(project_->filePath(input->fileIndex));
    qestl::qestringA message = qestl::qestringA::format(format, path.c_str() != nullptr ? path.c_str() : "");
    reportError(message.c_str(), input != nullptr ? input->line : 0, input != nullptr ? input->column : 0);
}

_KNode<qeAbstractNode>* qeSourceProcessor::onRuleMatched(_KNode<qeAbstractNode>* out, qeLexSyntax& engine, int start,
                                                         int count, uint32_t ruleId) {
    dispatchRuleMatch(*this, engine, start, count, ruleId, *out);
    return out;
}

void qeSourceProcessor::onParseRestarted() { pendingComment_.clear(); }

void qeSourceProcessor::onBadCharacter(SourceInput* input) { reportAt(input, "语法错误 不可识别的字符:%s"); }

void qeSourceProcessor::onLookaheadOverflow(SourceInput* input) { reportAt(input, "语法错误 语法栈溢出:%s"); }

bool qeSourceProcessor::filterToken(SourceInput* input, int32_t length, TokenCode kind, char** docComment) {
    // At the end of the text the kind is that of the last token dropped, yet
    // the record made there is the end-of-input record: it takes the comments
    // still pending, which would otherwise reach the next text parsed.
    const bool endOfText = length == 0;
    if (kind == TokenKind::Comment && !endOfText) {
        pendingComment_.append(input->text + input->offset, static_cast<size_t>(length));
        return false;
    }
    const bool keep = kind != TokenKind::Whitespace && kind != TokenKind::Comment;
    if (!keep && !endOfText) return false;
    if (pendingComment_.empty()) {
        *docComment = nullptr;
        return keep;
    }
    size_t size = pendingComment_.length();
    char* copy = static_cast<char*>(std::malloc(size + 1));
    if (copy != nullptr) {
        std::memcpy(copy, pendingComment_.c_str(), size);
        copy[size] = 0;
    }
    *docComment = copy;
    pendingComment_.clear();
    return keep;
}

TokenRecord* qeSourceProcessor::newTokenRecord() {
    if (recordPool_.records.empty()) return new TokenRecord();
    TokenRecord* record = recordPool_.records.back();
    recordPool_.records.pop_back();
    return record;
}

void qeSourceProcessor::freeTokenRecord(TokenRecord* record) {
    if (record == nullptr) return;
    std::free(record->docComment);
    record->docComment = nullptr;
    *record = TokenRecord();  // releases the node; the record is as new
    recordPool_.records.push_back(record);
}

void qeSourceProcessor::onParseFailed(SourceInput*) {
    bool logged = false;
    for (int i = qeLexSyntax::kWindowSize - 1; i >= 0; --i) {
        const TokenRecord* record = parser_.slot(i);
        if (record == nullptr || record->hint == SyntaxHint::None) continue;
        const char* text = syntaxHintText(record->hint);
        if (text == nullptr) continue;
        reportError(text, record->endLine, record->endColumn);
        logged = true;
    }
    // The furthest record some rule matched: where the parse got stuck.
    const TokenRecord* furthest = nullptr;
    for (int i = qeLexSyntax::kWindowSize - 1; i >= 0 && furthest == nullptr; --i) {
        const TokenRecord* record = parser_.slot(i);
        if (record != nullptr && holdsAnyRule(record)) furthest = record;
    }
    if (furthest == nullptr) return;
    const int32_t endHint = parser_.endOfInputHint();
    const char* endText = endHint != SyntaxHint::None ? syntaxHintText(endHint) : nullptr;
    if (endText != nullptr) {
        reportError(endText, furthest->endLine, furthest->endColumn);
        logged = true;
    }
    if (!logged) reportError("语法不正确:找不到预期的符号或者表达式.", furthest->endLine, furthest->endColumn);
}

const Grammar* sourceGrammar() { return gGrammar != nullptr ? gGrammar : &korvoGrammar(); }
