// Where an object was declared: its declaration's node while the
// declaration passes and the compile read it, then, once a class or method
// is compiled, only what is read of it afterwards. The unused-member
// warnings, the unlinkable-object warning of the image layout and the
// near-miss listings quote its position and source span; lookups read its
// flags (interface, walked, bodiless). A program of a million one-method
// classes kept both declaration nodes of each class and their lists for
// these alone: the place is 16 bytes, and the nodes and lists go with the
// rest of the compiled tree (some 150 bytes a class less at the peak).
#pragma once

#include <cstdint>
#include <utility>

#include "source/node.h"

namespace model {

using NodeHandle = _KNode<qeAbstractNode>;

// What a compiled declaration keeps of its node. The source text the span
// lies in stays with the project, so a warning still quotes it (a message
// reads the node's own text only for a node without a span, which keeps
// its node). Of the flags, the high byte: the declaration pass's marks and
// the construct bits (interface, enum, bodiless), all that is read of them
// once the declaration is compiled (the access bits are the object's
// modifiers by then).
struct KeptDeclaration {
    uint32_t textStart;
    uint32_t startLine;
    uint32_t textLength : 24;
    uint32_t highFlags : 8;
    uint16_t startColumn;
    uint8_t fileIndex;
    uint8_t kind;
    bool operator==(const KeptDeclaration& other) const = default;
};

static_assert(sizeof(KeptDeclaration) == 16, "a kept declaration takes two words");

class DeclarationPlace {
public:
    DeclarationPlace() : word_(0) {}
    DeclarationPlace(NodeHandle node) : word_(reinterpret_cast<uintptr_t>(node.detach())) {}  // NOLINT: takes a node
    DeclarationPlace(const DeclarationPlace& other);
    DeclarationPlace(DeclarationPlace&& other) noexcept : word_(std::exchange(other.word_, 0)) {}
    DeclarationPlace& operator=(const DeclarationPlace& other) {
        DeclarationPlace copy(other);
        std::swap(word_, copy.word_);
        return *this;
    }
    DeclarationPlace& operator=(DeclarationPlace&& other) noexcept {
        DeclarationPlace taken(std::move(other));
        std::swap(word_, taken.word_);
        return *this;
    }
    ~DeclarationPlace() { reset(); }

    void reset() {
        // Most objects (locals, parameters) never had a declaration node.
        if (word_ == 0) return;
        if (isKept()) freeKept();
        else releaseNode(node_.detach());
        word_ = 0;
    }
    explicit operator bool() const { return word_ != 0; }
    // The same node, or places of the same bytes.
    bool operator==(const DeclarationPlace& other) const;

    // The node; an empty handle once only the place is kept.
    const NodeHandle& node() const { return isKept() ? kNoNode : node_; }
    qeAbstractNode* get() const { return node().get(); }
    // Once only the place is kept, the high byte alone (see KeptDeclaration).
    uint32_t flags() const { return isKept() ? uint32_t{kept()->highFlags} << kHighFlagsShift : node_->flags; }
    // The node, or for a kept place a node standing for it: the position,
    // span, kind and flags() (no text, no lists, no annotations: a
    // declaration that has some keeps its node). For messages and the
    // records that take a position from them.
    NodeHandle handle() const;

    // Keeps the place in place of the node where it fits (this reference
    // to the node goes); a node that does not fit, that has no span or
    // that carries annotations is kept.
    void keepPlaceOnly();

private:
    static inline const NodeHandle kNoNode{};
    static constexpr unsigned kHighFlagsShift = 24;

    // Bit 0 marks a kept place: its address is a multiple of 8, a node's too.
    bool isKept() const { return (word_ & 1) != 0; }
    const KeptDeclaration* kept() const { return reinterpret_cast<const KeptDeclaration*>(word_ & ~uintptr_t{1}); }
    void freeKept();

    union {
        uintptr_t word_;
        NodeHandle node_;
    };
};

static_assert(sizeof(DeclarationPlace) == sizeof(uintptr_t), "an object's declaration is one word");

}  // namespace model
