#include "syntax/lex_syntax.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "syntax/grammar.h"
#include "platform/stack_thread.h"
#include "syntax/scanner.h"

namespace {

// What a failed parse still needs below the deepest rule: its reports and
// the unwinding.
constexpr size_t kRuleStackReserve = size_t{256} << 10;

}  // namespace

qeLexSyntax::qeLexSyntax() {
    for (TokenRecord*& record : window_) record = nullptr;
    // Every rule attempted at the spare record fails at once and no token test
    // succeeds there: that is what ends a parse after an error.
    spare_.active.fill();
    spare_.visited.fill();
    spare_.span = 0;
}

qeLexSyntax::~qeLexSyntax() { reset(); }

void qeLexSyntax::reset() {
    if (listener_) {
        for (TokenRecord*& record : window_) {
            listener_->freeTokenRecord(record);
            record = nullptr;
        }
        filled_ = 0;
    }
    error_ = 0;
    scanned_ = 0;
    recorded_ = 1;
    input_ = nullptr;
    listener_ = nullptr;
    tellsMatches_ = false;
    dropsWhitespace_ = false;
    keepsPlainly_ = false;
    names_ = OnParseListener::NameWatch{&OnParseListener::kNoNamesWanted, nullptr};
    commentWaiting_ = true;
    passThrough_.clear();
    // The rules left untold are asked again by the next attach of an input:
    // detached, nothing parses.
    grammar_ = nullptr;
}

void qeLexSyntax::attach(SourceInput* input, OnParseListener* listener, const Grammar* grammar) {
    stackFloor_ = kFloorUnknown;
    input_ = input;
    listener_ = listener;
    grammar_ = grammar;
    tellsMatches_ = listener != nullptr && listener->wantsRuleMatches();
    passThrough_ = tellsMatches_ ? listener->passThroughRules() : RuleSet();
    // A listener attached without an input only takes the records back
    // (reset): nothing parses until an input is attached.
    if (input != nullptr) setQuietRules();
    dropsWhitespace_ = listener != nullptr && listener->dropsWhitespace();
    keepsPlainly_ = listener != nullptr && listener->keepsTokensPlainly();
    if (listener != nullptr) names_ = listener->nameWatch();
    commentWaiting_ = true;
}

int32_t qeLexSyntax::scanToken(int32_t offset, TokenCode* kind) {
    int32_t length = scanner::scanTokenAt(input_->text, input_->length, offset, kind);
    if (length < 0 && listener_ && !speculative_) listener_->onBadCharacter(input_);
    return length;
}

bool qeLexSyntax::skipWhitespace() {
    // The bytes the scanner takes for whitespace, lines counted as advance()
    // counts them, in one pass. Most tokens follow no whitespace or a single
    // space: the first byte is tested before anything else is loaded.
    const auto blank = [](char c) { return static_cast<unsigned char>(c - 1) < 0x20; };
    const char* const text = input_->text;
    const char* const end = text + input_->length;
    const char* at = text + input_->offset;
    if (at >= end || !blank(*at)) return false;
    uint32_t line = input_->line, column = input_->column;
    do {
        if (*at == '\n') {
            ++line;
            column = 0;
        } else {
            ++column;
        }
        ++at;
    } while (at < end && blank(*at));
    input_->offset = static_cast<int32_t>(at - text);
    input_->line = line;
    input_->column = column;
    return true;
}

// Inlined into fillSlot, which reads nearly every token.
[[gnu::always_inline]] inline TokenRecord* qeLexSyntax::readToken() {
    if (!input_ || !listener_) return nullptr;
    TokenCode kind = 0;
    char* doc = nullptr;
    int32_t length = 0;
    bool kept = false;
    for (;;) {
        // At the end of the text the kind stays that of the last token
        // dropped, as the listener would have seen it.
        if (dropsWhitespace_ && skipWhitespace()) kind = TokenKind::Whitespace;
        length = scanToken(input_->offset, &kind);
        if (length < 0) {
            std::free(doc);
            error_ = 1;
            return nullptr;
        }
        // Most tokens are kept as they are: the listener is asked only about
        // whitespace, comments, the end, and the token after a comment.
        if (keepsPlainly_ && !commentWaiting_ && length > 0 && kind != TokenKind::Whitespace &&
            kind != TokenKind::Comment) {
            kept = true;
            break;
        }
        kept = listener_->filterToken(input_, length, kind, &doc);
        if (kept) commentWaiting_ = false;
        else if (kind == TokenKind::Comment) commentWaiting_ = true;
        if (kept || length == 0) break;
        input_->advance(length);
    }
    if (kept && length > 0) scanned_ = 1;
    if (kind == TokenKind::Identifier && *names_.wanted)
        names_.seen(input_->text + input_->offset, static_cast<size_t>(length), input_->text + input_->length);

    TokenRecord* record = listener_->newTokenRecord();
    const uint32_t startOffset = static_cast<uint32_t>(input_->offset);
    const uint32_t startLine = input_->line, startColumn = input_->column;
    // Only these kinds can hold a line feed; the others end on their line.
    if (kind == TokenKind::String || kind == TokenKind::Char || kind == TokenKind::Comment ||
        kind == TokenKind::Whitespace)
        input_->advance(length);
    else
        input_->advanceInLine(length);
    record->renew(input_, startOffset, static_cast<uint32_t>(length), input_->fileIndex, startLine, startColumn,
                  input_->line, input_->column, kind, doc);
    if (input_->positionHook) {
        const uint32_t fileIndex = record->fileIndex;
        record->input = input_->positionHook(fileIndex, record->startOffset, &record->fileIndex, &record->startOffset,
                                             &record->startLine, &record->startColumn, record->input);
        // The end maps through the token's last byte, so that a position past
        // a piece of generated text still names the page the token came from.
        if (length > 0) {
            const char* last = input_->text + input_->offset - 1;
            uint32_t lastOffset = static_cast<uint32_t>(input_->offset - 1);
            uint32_t endFile = fileIndex, line = record->endLine, column = record->endColumn - 1;
            if (*last == '\n') {  // where the line the byte ends began is counted again
                line = startLine;
                column = startColumn;
                advancePosition(last - (length - 1), static_cast<size_t>(length - 1), line, column);
            }
            input_->positionHook(fileIndex, lastOffset, &endFile, &lastOffset, &line, &column, record->input);
            advancePosition(last, 1, line, column);
            record->endLine = line;
            record->endColumn = column;
        }
    }
    if (!recordings_.empty()) noteScan(record->startOffset, kind);
    return record;
}

TokenRecord* qeLexSyntax::nextToken() { return readToken(); }

TokenRecord* qeLexSyntax::fillSlot(int index) {
    if (index < 0 || index >= kWindowSize) {
        if (!error_) {
            error_ = 1;
            if (listener_ && !speculative_) listener_->onLookaheadOverflow(input_);
        }
        return &spare_;
    }
    if (error_) return &spare_;
    if (window_[index]) return window_[index];
    TokenRecord* record = readToken();
    window_[index] = record;
    if (!record) return &spare_;
    if (index >= filled_) filled_ = index + 1;
    return record;
}

void qeLexSyntax::setQuietRules() {
    for (uint8_t& quiet : quiet_) quiet = 0;
    keeps_.clear();
    keepsFirst_.clear();
    for (RuleSet& rules : firstKept_) rules.clear();
    if (tellsMatches_) {
        listener_->nodeMarkRules(quiet_);
        keeps_ = listener_->keepsRecordRules();
        listener_->firstRecordRules(firstKept_);
    }
    for (uint32_t id = 0; id < 256; ++id)
        if (!firstKept_[id].none()) keepsFirst_.set(id);
    quietable_ = keeps_;
    quietable_.merge(passThrough_);
    for (RuleSet& rules : quietUnder_) rules = quietable_;
    for (uint32_t id = 0; id < 256; ++id) {
        quiet_[id] &= kNodeMarkBits;
        if (quiet_[id] != 0) {
            quietable_.set(id);
            for (uint32_t marks = 0; marks <= kNodeMarkBits; ++marks)
                if (marks & quiet_[id]) quietUnder_[marks].set(id);
        }
        if (passThrough_.test(id)) quiet_[id] |= kPassesThrough;
        if (keeps_.test(id)) quiet_[id] |= kKeepsRecord;
    }
    anyQuietable_ = !quietable_.none();
}

void qeLexSyntax::tellMatch(TokenRecord& record, int start, int count, uint32_t ruleId) {
    _KNode<qeAbstractNode> built;
    nodeMarks_ = 0;
    _KNode<qeAbstractNode>* result = listener_->onRuleMatched(&built, *this, start, count, ruleId);
    if (result == nullptr) return;
    // The record takes the node over (the handle given back is left empty).
    if (result->empty()) {
        record.node.reset();
        record.nodeMarks = 0;
    } else {
        record.node = std::move(*result);
        record.nodeMarks = nodeMarks_;
    }
}

int qeLexSyntax::reduceRecords(TokenRecord& record, int start, int& end, int count, uint32_t ruleId) {
    int lastIndex = start + count - 1;
    TokenRecord* last = lastIndex < kWindowSize ? window_[lastIndex] : nullptr;
    if (!last) return 0;
    record.length = last->startOffset + last->length - record.startOffset;
    record.endLine = last->endLine;
    record.endColumn = last->endColumn;
    record.active.clear();
    record.visited.clear();
    record.span = 1;
    record.matches.clear();
    record.matches.set(ruleId);

    // Close up the window over the records the match covered: the records
    // behind them, up to the last one scanned, move down as one block. The
    // covered records go back in one call, not in a call of the listener's
    // each: every reduction of several records frees them.
    const int behind = start + count;
    if (listener_) listener_->freeTokenRecords(&window_[start + 1], count - 1);
    const int moved = std::max(filled_ - behind, 0);
    if (moved > 0) std::memmove(&window_[start + 1], &window_[behind], static_cast<size_t>(moved) * sizeof(window_[0]));
    std::fill(&window_[start + 1 + moved], &window_[std::max(filled_, behind)], nullptr);
    filled_ = start + 1 + moved;
    end -= count - 1;
    return 1;
}

int qeLexSyntax::parseRule(uint32_t ruleId, int start, uint32_t& changed) {
    // Each nested rule takes a few frames: the stack the compile was given,
    // not the window alone, bounds how deep a text may nest.
    if (reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) < stackFloor_ && !roomForRules())
        return outOfRuleStack();
    // The protocol's repeated attempts (after a failure that changed the
    // window, and after each recorded match) run as a loop rather than as
    // nested calls, so a list of any length costs no stack. The answer is
    // what the nested form would give: the deepest positive result, else the
    // result of the first recorded match, else the last attempt's.
    int lastPositive = -1;
    bool matchedBefore = false;
    int firstMatch = 0;
    int result = -1;
    for (;;) {
        ++counts_.attempts;
        TokenRecord* record = tokenAt(start);
        if (record->active.test(ruleId) || record->visited.test(ruleId)) {
            ++counts_.guarded;
            result = -1;
            break;
        }
        record->visited.set(ruleId);
        // Most attempts begin at a record where the rule cannot start; the
        // grammar answers those without walking the rules they would call,
        // and gives what the walk would leave there.
        if (const Grammar::FirstFailure* failure = grammar_ ? grammar_->firstRecordFailure(ruleId, *record) : nullptr) {
            if (failure != &Grammar::kLeavesNothing) {
                record->visited.merge(failure->visited);
                if (failure->hint >= 0) record->hint = failure->hint;
            }
            ++counts_.leading;
            result = -1;
            break;
        }
        record->active.set(ruleId);
        ++counts_.walks;
        uint32_t local = 0;
        int end = grammar_ ? walkBody(ruleId, start, local) : -1;
        record->active.reset(ruleId);
        if (end < 0) {
            if (!local) {
                ++counts_.failedWalks;
                result = -1;
                break;
            }
            changed |= local;
            record->visited.clear();
            continue;
        }
        const int recorded = recordRuleMatch(start, end, end - start, ruleId);
        local |= static_cast<uint32_t>(recorded);
        int covered = end - start;
        if (!local) {
            result = covered;
            break;
        }
        changed |= local;
        // The repeated attempt after a match over one record, recorded just
        // now (so the record's marks are cleared), answered without its walk
        // where the grammar says how it ends: over a quarter of the walks of
        // varied code were such repeats.
        if (recorded && covered == 1 && !error_ && grammar_->takesAgainAtOnce(ruleId, *record)) {
            ++counts_.attempts;
            ++counts_.walks;
            record->visited.set(ruleId);
            result = 1;
            break;
        }
        if (covered > 0) lastPositive = covered;
        if (!matchedBefore) {
            matchedBefore = true;
            firstMatch = covered;
        }
    }
    if (result > 0) return result;
    if (lastPositive > 0) return lastPositive;
    if (matchedBefore) return firstMatch;
    return result;
}

// The lowest frame address at which a rule may still be attempted, worked
// out on the first attempt of each attach: asking the thread's stack before
// every attempt was a load of thread-local state and three tests each time.
bool qeLexSyntax::roomForRules() {
    const size_t room = platform::stackRoomNow();
    const uintptr_t here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (room < kRuleStackReserve) return false;
    stackFloor_ = room == SIZE_MAX ? 0 : here - room + kRuleStackReserve;
    return true;
}

int qeLexSyntax::outOfRuleStack() {
    if (!error_) {
        error_ = 1;
        if (listener_ && !speculative_) listener_->onLookaheadOverflow(input_);
    }
    return -1;
}

bool qeLexSyntax::callRule(int& q, uint32_t id, uint32_t& changed) {
    uint32_t local = 0;
    int covered = parseRule(id, q, local);
    changed |= local;
    if (covered < 0) return false;
    q += covered;
    return true;
}

void qeLexSyntax::setHint(int position, int32_t code) {
    if (position < 0 || position >= kWindowSize) return;
    if (!window_[position]) {
        endOfInputHint_ = code;
        return;
    }
    if (window_[position]->hint == SyntaxHint::None) window_[position]->hint = code;
}

bool qeLexSyntax::parseText(uint32_t entryRule) {
    if (fastPath_ && grammar_ && grammar_->shortcuts() && input_ && listener_) {
        const SourceInput rewound = *input_;
        const int32_t endHint = endOfInputHint_;
        if (speculativeParse(entryRule)) return true;
        restart();
        input_->offset = rewound.offset;
        input_->line = rewound.line;
        input_->column = rewound.column;
        endOfInputHint_ = endHint;
        listener_->onParseRestarted();
    }
    uint32_t changed = 0;
    return parsedWhole(parseRule(entryRule, 0, changed));
}

bool qeLexSyntax::parsedWhole(int result) {
    if (error_ || result < 0 || !input_) return false;
    if (input_->offset < input_->length) return false;
    // The record behind the unit must be the end of the text. An empty unit
    // leaves that record at index 0: testing index 1 alone would accept a
    // text whose only construct failed as a top-level item but was still
    // reduced to one record ("x = 1" without its ";") as an empty program.
    TokenRecord* after = window_[result == 0 ? 0 : 1];
    return !after || (after->length == 0 && after->startOffset == static_cast<uint32_t>(input_->length));
}
