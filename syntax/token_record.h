// The record of one token, and later of one reduced rule match, in the
// parsing engine's window.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "syntax/node_handle.h"
#include "syntax/source_input.h"
#include "syntax/token_kind.h"

class qeAbstractNode;

// 256 bits indexed by token kind or rule id; every memo test and guard of the
// engine is one bit test.
class RuleSet {
public:
    RuleSet() = default;
    // The set of the four words, lowest bits first (see word()): a grammar
    // table spells its sets so, and they stay constant data in the binary.
    constexpr RuleSet(uint64_t w0, uint64_t w1, uint64_t w2, uint64_t w3) : words_{w0, w1, w2, w3} {}
    // The set of the bits listed.
    static constexpr RuleSet of(std::initializer_list<uint32_t> bits) {
        RuleSet set;
        for (uint32_t bit : bits) set.set(bit);
        return set;
    }
    bool test(uint32_t bit) const { return bit < 256 && ((words_[bit >> 6] >> (bit & 63)) & 1u) != 0; }
    constexpr void set(uint32_t bit) {
        if (bit < 256) words_[bit >> 6] |= uint64_t{1} << (bit & 63);
    }
    void reset(uint32_t bit) {
        if (bit < 256) words_[bit >> 6] &= ~(uint64_t{1} << (bit & 63));
    }
    void clear() { words_[0] = words_[1] = words_[2] = words_[3] = 0; }
    void fill() { words_[0] = words_[1] = words_[2] = words_[3] = ~uint64_t{0}; }
    bool none() const { return (words_[0] | words_[1] | words_[2] | words_[3]) == 0; }
    bool intersects(const RuleSet& other) const {
        return ((words_[0] & other.words_[0]) | (words_[1] & other.words_[1]) | (words_[2] & other.words_[2]) |
                (words_[3] & other.words_[3])) != 0;
    }
    // True when every bit of `other` is set here.
    bool covers(const RuleSet& other) const {
        return ((other.words_[0] & ~words_[0]) | (other.words_[1] & ~words_[1]) | (other.words_[2] & ~words_[2]) |
                (other.words_[3] & ~words_[3])) == 0;
    }
    void merge(const RuleSet& other) {
        for (int i = 0; i < 4; ++i) words_[i] |= other.words_[i];
    }
    void keepOnly(const RuleSet& other) {
        for (int i = 0; i < 4; ++i) words_[i] &= other.words_[i];
    }
    // True when `bit` is the one bit this set shares with `other`.
    bool sharesOnly(const RuleSet& other, uint32_t bit) const {
        if (bit >= 256) return false;
        uint64_t shared[4] = {words_[0] & other.words_[0], words_[1] & other.words_[1], words_[2] & other.words_[2],
                              words_[3] & other.words_[3]};
        shared[bit >> 6] ^= uint64_t{1} << (bit & 63);
        return (shared[0] | shared[1] | shared[2] | shared[3]) == 0;
    }
    // The one bit set, or -1 when none or several are.
    int single() const {
        int found = -1;
        for (int i = 0; i < 4; ++i) {
            if (words_[i] == 0) continue;
            if (found >= 0 || (words_[i] & (words_[i] - 1)) != 0) return -1;
            found = i * 64 + __builtin_ctzll(words_[i]);
        }
        return found;
    }
    bool operator==(const RuleSet& other) const = default;
    // The four 64-bit words, lowest bits first: how a grammar table stores a set.
    uint64_t word(int i) const { return words_[i & 3]; }
    void setWord(int i, uint64_t bits) { words_[i & 3] = bits; }

private:
    uint64_t words_[4] = {0, 0, 0, 0};
};

struct TokenRecord {
    // The record of one new token, every field but the node written once: the
    // engine renews a recycled record for nearly every token, and clearing
    // its fields first, or building a fresh record to copy over it, costs
    // more than the rest of the recycling. A record is renewed only while it
    // holds no node and no doc comment (TokenRecordPool::give lets go of both).
    void renew(SourceInput* from, uint32_t offset, uint32_t size, uint32_t file, uint32_t line, uint32_t column,
               uint32_t lastLine, uint32_t lastColumn, uint32_t kind, char* doc) {
        input = from;
        startOffset = offset;
        length = size;
        hint = -1;
        span = 1;
        fileIndex = file;
        startLine = line;
        startColumn = column;
        endLine = lastLine;
        endColumn = lastColumn;
        nodeMarks = 0;
        active.clear();
        matches.clear();
        matches.set(kind);
        visited.clear();
        docComment = doc;
    }

    SourceInput* input = nullptr;
    uint32_t startOffset = 0;
    uint32_t length = 0;
    int32_t hint = -1;
    uint32_t span = 0;
    uint32_t fileIndex = 0;
    uint32_t startLine = 0;
    uint32_t startColumn = 0;
    uint32_t endLine = 0;
    uint32_t endColumn = 0;
    // What the listener told the engine about `node` (qeLexSyntax::markNode).
    uint8_t nodeMarks = 0;
    RuleSet active;
    RuleSet matches;
    RuleSet visited;
    _KNode<qeAbstractNode> node;
    char* docComment = nullptr;  // heap text owned by the record
};
// A field added to the record is one reset() must clear.
static_assert(sizeof(TokenRecord) == 160, "TokenRecord::renew writes every field: add the new one there");
