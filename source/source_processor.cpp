#include "source/source_processor.h"

#include <cstdlib>
#include <cstring>

#include "foundation/logger.h"
#include "source/page_position.h"
#include "source/rule_table.h"
#include "source/source_errors.h"
#include "source/source_project.h"
#include "syntax/parse_failure.h"
#include "syntax/rules.h"
#include "syntax/syntax_hint.h"

namespace {

constexpr uint32_t kErrorFlags = 0x10010;

}  // namespace

qeSourceProcessor::qeSourceProcessor(uint32_t depth) : depth_(depth) {
    parser_.setEndOfInputHint(SyntaxHint::None);
}

const Grammar* qeSourceProcessor::grammar() const { return grammar_ != nullptr ? grammar_ : &korvoGrammar(); }

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
    appendErrorPosition(text, line, column);
    text.append("\n\n");
    text.append(message != nullptr ? message : diag::SyntaxError.text);
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

void qeSourceProcessor::onParseRestarted() { pendingComment_.clear(); }

RuleSet qeSourceProcessor::passThroughRules() const {
    RuleSet rules;
    for (int i = 0; i < 4; ++i) rules.setWord(i, kPassThroughRules[i]);
    return rules;
}

RuleSet qeSourceProcessor::keepsRecordRules() const { return operatorRules(); }

void qeSourceProcessor::nodeMarkRules(uint8_t (&marks)[256]) const { fillNodeMarkRules(marks); }

void qeSourceProcessor::firstRecordRules(RuleSet (&rules)[256]) const { fillFirstRecordRules(rules); }

void qeSourceProcessor::onBadCharacter(SourceInput* input) { reportAt(input, diag::BadCharacter.text); }

void qeSourceProcessor::onLookaheadOverflow(SourceInput* input) { reportAt(input, diag::LookaheadOverflow.text); }

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

TokenRecord* qeSourceProcessor::newTokenRecord() { return recordPool_.take(); }

void qeSourceProcessor::freeTokenRecord(TokenRecord* record) { recordPool_.give(record); }

void qeSourceProcessor::freeTokenRecords(TokenRecord* const* records, int count) {
    recordPool_.giveAll(records, count);
}

void qeSourceProcessor::reportAtEnd(const char* message, const TokenRecord& record, uint32_t& namedFile,
                                    qestl::qestringA& path) {
    if (project_ == nullptr) return;
    // In a page the record's end may lie in an included page: the file is
    // the one its last byte was copied from.
    uint32_t file = fileIndex_, line = 0, column = 0;
    if (record.length > 0) pagePositionAt(record.input, record.startOffset + record.length - 1, file, line, column);
    if (file != namedFile) {
        path = qestl::narrow(project_->filePath(file));
        namedFile = file;
    }
    logSourceError(path, record.endLine, record.endColumn, message);
}

void qeSourceProcessor::onParseFailed(SourceInput*) {
    // A failed parse may leave a line for most records of the window, nearly
    // always in one file: its path is converted once, not once a line.
    uint32_t namedFile = ~0u;
    qestl::qestringA path;
    for (const ParseFailureLine& failure : parseFailureLines(parser_)) {
        const char* text = failure.hint != SyntaxHint::None ? syntaxHintText(failure.hint) : diag::UnexpectedSymbol.text;
        reportAtEnd(text, *failure.record, namedFile, path);
    }
}

