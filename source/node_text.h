// The text of a syntax node: a name, an operator, a literal's spelling.
//
// A program has millions of nodes, so the text is a 32-bit reference into
// the node-text store (source/node_text.cpp): chunks that are never moved or
// freed, holding each text behind its u32 length and before two 0 bytes, as
// a string built from the text would hold them: a string may read a stored
// text in place (qestring::ofStaticText). Short
// texts are stored once however many nodes carry them (a program repeats
// its names and operators all the time); longer ones and numbers once per
// setText. A stored text never changes, so copies of a node share it; a
// node's text is only replaced whole (qeAbstractNode::setText).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "foundation/qestring.h"

namespace nodetext {

// A reference: the chunk's index above kOffsetBits, the entry's offset in
// 4-byte units below. Reference 0 is the empty text.
inline constexpr unsigned kOffsetBits = 18;
inline constexpr size_t kChunkBytes = size_t{4} << kOffsetBits;  // 1 MiB
inline constexpr size_t kMaxChunks = size_t{1} << (32 - kOffsetBits);
// Texts up to this length are stored once, but for numbers.
inline constexpr size_t kSharedLength = 16;

// Whether the store keeps one entry for the text however often it is
// stored: equal texts of this kind have equal references.
inline bool isShared(std::string_view text) {
    return text.size() <= 1 || (text.size() <= kSharedLength && !(text[0] >= '0' && text[0] <= '9'));
}

// The chunks by index (chunk 0 holds only the empty text).
extern char* gChunks[kMaxChunks];

inline const char* entry(uint32_t reference) {
    return gChunks[reference >> kOffsetBits] + (size_t{reference & ((1u << kOffsetBits) - 1)} << 2);
}

// The reference of a stored copy of the text (which may itself be a stored
// text). Ends the process when no memory is left.
uint32_t store(std::string_view text);
// Loads the places store will look up the names in that follow a name the
// scanner has just met, in the text it lies in (which ends at `end`): a
// node takes its name as its text only a few tokens after the scanner met
// it, too soon for a slot to arrive from memory. Worth it only while the
// flag prefetchWanted points to holds: the table of shared texts is past
// the caches.
void prefetch(const char* text, size_t length, const char* end);
const bool* prefetchWanted();
// Packs the table of shared texts, for when few texts or none are stored
// any more (a program of a million classes has a million names in it, in
// twice as many slots): the next store that looks one up makes it again.
void packSharedTexts();
// The reference of the text followed by the suffix. The entry extend made
// last keeps room behind its text and is extended in place while the room
// lasts (its reference stays), so only a reference no other node holds may
// be extended: a fold's own result, which the next fold replaces.
uint32_t extend(uint32_t reference, std::string_view suffix);

}  // namespace nodetext

class NodeText {
public:
    NodeText() = default;

    size_t length() const {
        uint32_t n;
        std::memcpy(&n, nodetext::entry(reference_), sizeof n);
        return n;
    }
    size_t size() const { return length(); }
    bool empty() const { return length() == 0; }
    // Followed by two 0 bytes, never null, valid until the process ends.
    const char* c_str() const { return nodetext::entry(reference_) + sizeof(uint32_t); }
    const char* data() const { return c_str(); }
    char operator[](size_t i) const { return c_str()[i]; }
    std::string_view view() const {
        const char* at = nodetext::entry(reference_);
        uint32_t n;
        std::memcpy(&n, at, sizeof n);
        return std::string_view(at + sizeof n, n);
    }
    operator std::string_view() const { return view(); }  // NOLINT: a text reads as its bytes
    // Where the text is stored: for a shared text (nodetext::isShared), the
    // same for every node that carries it.
    uint32_t reference() const { return reference_; }
    bool isShared() const { return nodetext::isShared(view()); }
    // A string that reads the stored text in place, never copied: a stored
    // text lives as long as the process and ends in two 0 bytes.
    qestl::qestringA inPlace() const { return qestl::qestringA::ofStaticText(c_str(), length()); }

    friend bool operator==(const NodeText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const NodeText& a, const NodeText& b) { return a.view() == b.view(); }
    friend bool operator==(const NodeText& a, const qestl::qestringA& b) { return a.view() == b.view(); }

    // Replaces the text; the value may be this text's own bytes.
    void set(std::string_view value) { reference_ = nodetext::store(value); }
    // Appends to a text that is this node's alone (nodetext::extend).
    void append(std::string_view suffix) { reference_ = nodetext::extend(reference_, suffix); }

private:
    uint32_t reference_ = 0;
};

static_assert(sizeof(NodeText) == 4, "a node's text is one 32-bit reference");
