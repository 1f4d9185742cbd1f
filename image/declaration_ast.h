// The declaration-tree block: a syntax tree stored breadth first, as static
// libraries carry their sources and link libraries their template functions.
//
//   u32 N, N x u32 record offsets, u32 L, then L bytes: the string list of
//   source paths followed by the N node records in index order.
//
// Offsets count from the start of the string list. Node 0 is the root; a null
// operand or child keeps its slot as a record of kind 62.
#pragma once

#include <cstdint>

#include "foundation/qestring.h"
#include "foundation/stream.h"
#include "foundation/vector.h"
#include "source/ast_nodes.h"
#include "source/node.h"

inline constexpr uint32_t kEmptyNodeRecord = 62;

// The slots of a block in index order: each one's node (null for an empty
// slot) and record offset. Kept in segments that never move, so a queue of
// millions of slots is neither copied nor touched twice as it grows.
class DeclarationSlots {
public:
    DeclarationSlots() = default;
    ~DeclarationSlots() { clear(); }
    DeclarationSlots(const DeclarationSlots&) = delete;
    DeclarationSlots& operator=(const DeclarationSlots&) = delete;

    static constexpr size_t kSegmentShift = 15;
    static constexpr size_t kSegmentSlots = size_t{1} << kSegmentShift;

    size_t size() const { return count_; }
    qeAbstractNode* node(size_t i) const { return segmentOf(i).nodes[i & kSlotMask]; }
    uint32_t offset(size_t i) const { return segmentOf(i).offsets[i & kSlotMask]; }
    void setOffset(size_t i, uint32_t offset) { segmentOf(i).offsets[i & kSlotMask] = offset; }
    void push(qeAbstractNode* node);
    void clear();
    size_t segmentCount() const { return segments_.size(); }
    // The offsets of a segment's slots, in order.
    const uint32_t* segmentOffsets(size_t segment) const { return segments_[segment]->offsets; }
    // The index of the first slot that the first node of a segment lists.
    uint64_t firstListed(size_t segment) const { return segments_[segment]->firstListed; }
    void setFirstListed(size_t segment, uint64_t index) { segments_[segment]->firstListed = index; }

private:
    static constexpr size_t kSlotMask = kSegmentSlots - 1;
    struct Segment {
        qeAbstractNode* nodes[kSegmentSlots];
        uint32_t offsets[kSegmentSlots];
        uint64_t firstListed;
    };
    Segment& segmentOf(size_t i) const { return *segments_[i >> kSegmentShift]; }
    qestl::qevector<Segment*> segments_;
    size_t count_ = 0;
};

// A node's record is composed only when the block is written out, straight
// into the output: numbering the tree first gives every record's offset, so
// the block never sits whole in memory.
struct DeclarationAstWriter {
    qestl::qeByteStream stream;  // the string list
    // Every slot in index order; the tree must live until the block is
    // written.
    DeclarationSlots slots;
    uint64_t length = 0;  // of the string list and the records together
};

// u32 count, then per string a u32 byte length and its bytes in the ANSI code
// page, no terminator.
bool writeStringList(qestl::qeistream& stream, const qestl::WStringVector& strings);

// Numbers the tree below root breadth first from the root (index 0), after
// the string list already in the writer's stream.
bool writeDeclarationAst(DeclarationAstWriter& writer, const _KNode<qeAbstractNode>& root);

// Writes the finished block: N, the offsets, L, the string list and the
// records.
bool writeDeclarationBlock(qestl::qeistream& out, DeclarationAstWriter& writer);

// Where the paths of a block's string list go: the compile's source table,
// which gives each its file index in this compilation.
class SourcePathTable {
public:
    virtual uint32_t registerPath(const qestl::qestringW& path) = 0;

protected:
    ~SourcePathTable() = default;
};

// Marks a node as read from a library: it belongs to an included unit, and
// its unit level is the library's number.
void markLibraryNode(qeAbstractNode& node, uint16_t unitLevel);

struct DeclarationAstReader {
    uint16_t unitLevel = 0;  // given to every node read
};

// Reads one block from the stream into `root`. Every count, length, offset
// and index is checked against the block; a node may only be listed below a
// node of smaller index and only once, so what is read is always a tree.
// False, with nothing kept, for a block that is not one.
bool readDeclarationAst(DeclarationAstReader& reader, SourcePathTable& sources, _KNode<qeAbstractNode>& root,
                        qestl::qeistream& stream);
