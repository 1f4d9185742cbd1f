// The text of a syntax node: a name, an operator, a literal's spelling.
//
// A program has millions of nodes, so the text is 12 bytes: the length and
// 8 bytes that hold either a short text with its terminator (most names and
// operators of a program are a few bytes) or the address of a longer one. A
// longer text lives in storage that outlives every node (see setText in
// source/node.cpp) and never changes, so copies share it. Texts are only
// replaced whole (setText), never edited in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "foundation/qestring.h"

class NodeText {
public:
    // The longest text held in the node itself.
    static constexpr size_t kInlineLength = 7;

    NodeText() { std::memset(bytes_, 0, sizeof bytes_); }
    NodeText(const NodeText& other) = default;
    NodeText& operator=(const NodeText& other) = default;

    size_t length() const { return length_; }
    size_t size() const { return length_; }
    bool empty() const { return length_ == 0; }
    // Terminated by a 0 byte, never null.
    const char* c_str() const {
        if (length_ <= kInlineLength) return bytes_;
        const char* outside;
        std::memcpy(&outside, bytes_, sizeof outside);
        return outside;
    }
    const char* data() const { return c_str(); }
    char operator[](size_t i) const { return c_str()[i]; }
    std::string_view view() const { return std::string_view(c_str(), length_); }
    operator std::string_view() const { return view(); }  // NOLINT: a text reads as its bytes

    friend bool operator==(const NodeText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const NodeText& a, const NodeText& b) { return a.view() == b.view(); }
    friend bool operator==(const NodeText& a, const qestl::qestringA& b) { return a.view() == b.view(); }

    // Copies a short text (length <= kInlineLength) into the node; the
    // value may be this text's own bytes.
    void setInline(std::string_view value) {
        char copy[sizeof bytes_] = {};
        std::memcpy(copy, value.data(), value.size());
        std::memcpy(bytes_, copy, sizeof bytes_);
        length_ = static_cast<uint32_t>(value.size());
    }
    // Points at a longer text (length > kInlineLength, a 0 byte behind it)
    // that stays valid and unchanged for as long as any node may read it.
    void setOutside(const char* text, uint32_t length) {
        std::memcpy(bytes_, &text, sizeof text);
        length_ = length;
    }

private:
    uint32_t length_ = 0;
    // 4-byte aligned only: the node packs the text between 4-byte fields.
    char bytes_[8];
};

static_assert(sizeof(NodeText) == 12, "a node's text is 12 bytes");
