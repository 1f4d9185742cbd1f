// The view of one rule match that every builder works on: the records the
// match covers, read by position, and the small operations the builders
// share (nodes over the match or over one record, pushing a record's node).
#pragma once

#include <cstdint>
#include <string_view>
#include <utility>

#include "source/build_host.h"
#include "source/ast_nodes.h"
#include "syntax/token_record.h"

using NodeRef = _KNode<qeAbstractNode>;

class RuleMatch {
public:
    // `records` are the window records of the match, `count` of them.
    RuleMatch(BuildHost& host, TokenRecord* const* records, int count) : host_(host), records_(records), count_(count) {}

    BuildHost& host() const { return host_; }
    int count() const { return count_; }

    // The record at position k of the match; null outside it.
    TokenRecord* record(int k) const { return k >= 0 && k < count_ ? records_[k] : nullptr; }
    // True when the record at k holds the token kind or rule id in its match set.
    bool is(int k, uint32_t kindOrRule) const {
        const TokenRecord* r = record(k);
        return r != nullptr && r->matches.test(kindOrRule);
    }
    // The node an earlier match left in the record at k (empty for a plain
    // token): the record's own handle, valid while the match is built.
    const NodeRef& node(int k) const {
        const TokenRecord* r = record(k);
        return r ? r->node : kNoNode;
    }
    qeAbstractNode* nodePtr(int k) const {
        const TokenRecord* r = record(k);
        return r ? r->node.get() : nullptr;
    }
    // The bytes of the source the record at k covers. Inline: names and
    // operators are read this way all the time; the rest of the cases
    // (a record up to a zero byte, or past its text) go through textOf.
    std::string_view text(int k) const {
        const TokenRecord* r = record(k);
        if (r && r->input && r->input->text &&
            size_t{r->startOffset} + r->length <= static_cast<size_t>(r->input->length))
            return std::string_view(r->input->text + r->startOffset, r->length);
        return textOf(k);
    }
    bool textIs(int k, std::string_view expected) const { return record(k) && text(k) == expected; }
    // The text of an operator record. A right shift is two ">" tokens that may
    // stand apart; the shift operator's node has already joined them into ">>".
    std::string_view operatorText(int k) const;

    // A node over the whole match with the default text span.
    NodeRef makeNode(uint32_t kind) const;
    // A node over the match without any text span (as made, before a builder sets one).
    NodeRef makeBareNode(uint32_t kind) const { return makeNodeOver(0, count_, kind); }
    // A node over the one record at k, with that record's span.
    NodeRef makeRecordNode(int k, uint32_t kind) const;
    // A node over the records [first, first + n), no text span set.
    NodeRef makeNodeOver(int first, int n, uint32_t kind) const;
    // Sets the text span of a node to run from record `first` to record `last`.
    void setSpan(qeAbstractNode& node, int first, int last) const;

    // Appends the node of record k (or an empty handle) to the operands.
    void push(qeAbstractNode& into, int k) const;

    // The builder hands back a name it has just made over the one record,
    // with that record's text and nothing else set.
    void madePlainName() const { plainName_ = true; }
    bool plainName() const { return plainName_; }

private:
    std::string_view textOf(int k) const;

    // What a position outside the match holds.
    static const NodeRef kNoNode;

    BuildHost& host_;
    TokenRecord* const* records_;
    int count_;
    mutable bool plainName_ = false;
};

// "true" and "false" scan as names; where a name stands as an expression
// they are literals.
inline bool isBoolWord(const qeAbstractNode& node) { return node.text.view() == "true" || node.text.view() == "false"; }
// True when `own`, the node of the match's one record, is a name as the
// identifier rule made it over that record and nothing holds but `holders`
// handles: taking it again gives what a new name over the record would.
bool isPlainName(const RuleMatch& m, const NodeRef& own, uint32_t holders);

inline void pushEmpty(qeAbstractNode& into) { into.operands.pushBack(NodeRef()); }
inline void pushNode(qeAbstractNode& into, const NodeRef& node) { into.operands.pushBack(node); }
inline void setText(qeAbstractNode& node, std::string_view text) { node.setText(text); }
// The text of the name at k. The record mostly holds the name node made over
// it, whose stored text is these bytes: shared, it costs no second lookup in
// the node-text store (a store past the caches misses on each).
inline void setNameText(qeAbstractNode& node, const RuleMatch& m, int k) {
    const qeAbstractNode* name = m.nodePtr(k);
    const std::string_view text = m.text(k);
    if (name != nullptr && name->text.view() == text) node.shareText(*name);
    else node.setText(text);
}

// The list a left-recursive rule keeps growing: the node of record 0 when
// that record already is the rule, else a new one over the match. `next` is
// the position of the element (`continued` when the list goes on).
NodeRef growingList(const RuleMatch& m, uint32_t ruleId, uint32_t kind, int continued, int& next);
