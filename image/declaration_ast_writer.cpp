// Writing the declaration-tree block (the format is in declaration_ast.h):
// numbering the tree breadth first, then composing the records straight
// into the output, by several threads for a large tree.
#include "image/declaration_ast.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "foundation/byte_io.h"
#include "foundation/look_ahead.h"
#include "foundation/memory.h"
#include "platform/parallel.h"

namespace {

bool writeU32(qestl::qeistream& stream, uint32_t value) {
    uint8_t bytes[4];
    qestl::storeU32LE(bytes, value);
    return stream.write(bytes, 4) == 4;
}

bool writeBytes(qestl::qeistream& stream, const void* bytes, uint64_t size) {
    if (size > UINT32_MAX) return false;
    return size == 0 || stream.write(bytes, static_cast<uint32_t>(size)) == size;
}

// Bytes of a record: twelve u32 fields, the text and the indices it lists.
constexpr uint64_t kRecordFields = 12 * 4;

uint64_t listedCount(const qeAbstractNode& node) {
    return uint64_t(node.operands.size()) + node.children.size() + ((node.flags & NodeFlag::Annotated) != 0 ? 1 : 0);
}

// The block goes out through a buffer of its own, large enough that the
// whole-file writer hands it straight to the file: one call per 256 KiB
// instead of one per record, and no second copy. The buffer is appended to
// the stream, or written at a position of it that moves along.
class BlockOutput {
public:
    explicit BlockOutput(qestl::qeistream& out)
        : out_(out), bytes_(static_cast<uint8_t*>(qestl::allocateOrDie(kBlockBytes))) {}
    BlockOutput(qestl::qeistream& out, uint64_t position) : BlockOutput(out) {
        positioned_ = true;
        position_ = position;
    }
    ~BlockOutput() { std::free(bytes_); }
    BlockOutput(const BlockOutput&) = delete;
    BlockOutput& operator=(const BlockOutput&) = delete;

    void u32(uint32_t value) {
        if (kBlockBytes - used_ < 4) flush();
        qestl::storeU32LE(bytes_ + used_, value);
        used_ += 4;
    }
    void bytes(const void* data, uint64_t count) {
        const uint8_t* from = static_cast<const uint8_t*>(data);
        while (count > 0) {
            if (used_ == kBlockBytes) flush();
            const size_t piece = count < kBlockBytes - used_ ? size_t(count) : kBlockBytes - used_;
            std::memcpy(bytes_ + used_, from, piece);
            used_ += piece;
            from += piece;
            count -= piece;
        }
    }
    // Room for `count` bytes in one piece, the block written out first when
    // it has less; null for more than a block holds. `advance` then takes
    // the bytes written there.
    uint8_t* room(uint64_t count) {
        if (count > kBlockBytes) return nullptr;
        if (kBlockBytes - used_ < count) flush();
        return bytes_ + used_;
    }
    void advance(size_t count) { used_ += count; }
    // True when every byte so far reached the stream.
    bool flush() {
        if (used_ != 0 && ok_) {
            ok_ = positioned_ ? out_.writeAt(position_, bytes_, static_cast<uint32_t>(used_))
                              : writeBytes(out_, bytes_, used_);
            position_ += used_;
        }
        used_ = 0;
        return ok_;
    }
    bool ok() const { return ok_; }

private:
    static constexpr size_t kBlockBytes = size_t{256} << 10;

    qestl::qeistream& out_;
    uint8_t* bytes_;
    size_t used_ = 0;
    bool positioned_ = false;
    uint64_t position_ = 0;
    bool ok_ = true;
};

void composeEmptyRecord(BlockOutput& record, uint32_t index) {
    // Kind 62; no text, flags, file or span; the index; no operands,
    // children or indices.
    uint32_t fields[12] = {kEmptyNodeRecord, 0, 0, 0, 0, 0, 0, 0, index, 0, 0, 0};
    uint8_t* at = record.room(kRecordFields);
    for (uint32_t field : fields) {
        qestl::storeU32LE(at, field);
        at += 4;
    }
    record.advance(kRecordFields);
}

// The indices a node lists are those of the slots queued behind it: the
// attached node's, then its operands', then its children's. Nearly every
// record is composed in place in the block; one larger than the block goes
// field by field.
void composeNodeRecord(BlockOutput& record, const qeAbstractNode& node, uint32_t index, uint32_t firstListed) {
    const uint32_t operands = static_cast<uint32_t>(node.operands.size());
    const uint32_t children = static_cast<uint32_t>(node.children.size());
    const uint32_t listed = static_cast<uint32_t>(listedCount(node));
    const uint32_t textLength = static_cast<uint32_t>(node.text.length());
    const uint32_t tail[] = {node.flags,       node.fileIndex, node.startLine, node.startColumn, node.endLine,
                             node.endColumn,   index,          operands,       children,         listed};
    if (uint8_t* at = record.room(kRecordFields + textLength + uint64_t(4) * listed)) {
        qestl::storeU32LE(at, node.kind);
        qestl::storeU32LE(at + 4, textLength);
        if (textLength != 0) std::memcpy(at + 8, node.text.c_str(), textLength);
        at += 8 + textLength;
        for (uint32_t field : tail) {
            qestl::storeU32LE(at, field);
            at += 4;
        }
        for (uint32_t i = 0; i < listed; ++i) qestl::storeU32LE(at + 4 * i, firstListed + i);
        record.advance(kRecordFields + textLength + size_t{4} * listed);
        return;
    }
    record.u32(node.kind);
    record.u32(textLength);
    record.bytes(node.text.c_str(), textLength);
    for (uint32_t field : tail) record.u32(field);
    for (uint32_t i = 0; i < listed; ++i) record.u32(firstListed + i);
}

// Both passes visit the tree breadth first, so consecutive nodes lie far
// apart in memory and nearly every visit would wait for a cache miss. The
// queue knows the nodes to come: their blocks are fetched some visits ahead
// and what they point to (lists, texts) half as far ahead, once the block
// has arrived. Measured on the 100k-line bench program: leads of 64 and 32
// number the tree in three quarters of the time 24 and 12 took.
constexpr size_t kNodeLead = 64;
constexpr size_t kListLead = 32;

[[gnu::always_inline]] inline void prefetchAhead(const DeclarationSlots& slots, size_t at, bool withText) {
    if (at + kNodeLead < slots.size()) {
        if (const qeAbstractNode* later = slots.node(at + kNodeLead)) qestl::touchLines(later, sizeof(qeAbstractNode));
    }
    if (at + kListLead >= slots.size()) return;
    const qeAbstractNode* soon = slots.node(at + kListLead);
    if (soon == nullptr) return;
    // Writing a record reads the counts of its lists, which may lie in the
    // list's own block.
    if (withText) qestl::touch(soon->text.c_str());
    if (!soon->operands.empty()) qestl::touch(soon->operands.data());
    if (!soon->children.empty()) qestl::touch(soon->children.data());
}

}  // namespace

bool writeStringList(qestl::qeistream& stream, const qestl::WStringVector& strings) {
    if (strings.size() > UINT32_MAX) return false;
    bool ok = writeU32(stream, static_cast<uint32_t>(strings.size()));
    for (const qestl::qestringW& string : strings) {
        qestl::qestringA bytes = qestl::narrow(string);
        ok = bytes.length() <= UINT32_MAX && writeU32(stream, static_cast<uint32_t>(bytes.length())) &&
             writeBytes(stream, bytes.c_str(), bytes.length()) && ok;
    }
    return ok;
}

void DeclarationSlots::push(qeAbstractNode* node) {
    if ((count_ & kSlotMask) == 0 && (count_ >> kSegmentShift) == segments_.size()) {
        segments_.pushBack(static_cast<Segment*>(qestl::allocateOrDie(sizeof(Segment))));
    }
    segmentOf(count_).nodes[count_ & kSlotMask] = node;
    ++count_;
}

void DeclarationSlots::clear() {
    for (Segment* segment : segments_) std::free(segment);
    segments_.clear();
    count_ = 0;
}

bool writeDeclarationAst(DeclarationAstWriter& writer, const _KNode<qeAbstractNode>& root) {
    DeclarationSlots& slots = writer.slots;
    slots.clear();
    slots.push(root.get());
    uint64_t at = writer.stream.size();
    // One queue serves every level: the nodes still to be written on this
    // level come before those already queued for the next, so numbering by
    // queue position is numbering breadth first.
    for (size_t head = 0; head < slots.size(); ++head) {
        if (at > UINT32_MAX || head >= UINT32_MAX) return false;
        slots.setOffset(head, static_cast<uint32_t>(at));
        if ((head & (DeclarationSlots::kSegmentSlots - 1)) == 0) {
            slots.setFirstListed(head >> DeclarationSlots::kSegmentShift, slots.size());
        }
        prefetchAhead(slots, head, /*withText=*/false);
        qeAbstractNode* node = slots.node(head);
        at += kRecordFields;
        if (node == nullptr) continue;
        at += node->text.length() + 4 * listedCount(*node);
        if ((node->flags & NodeFlag::Annotated) != 0) slots.push(node->annotations().get());
        for (const _KNode<qeAbstractNode>& operand : node->operands) slots.push(operand.get());
        for (const _KNode<qeAbstractNode>& child : node->children) slots.push(child.get());
    }
    if (at > UINT32_MAX) return false;
    writer.length = at;
    return true;
}

namespace {

// The records of slots [first, end) in index order; the first of them lists
// the slots from firstListed on.
bool composeRecords(BlockOutput& block, const DeclarationSlots& slots, size_t first, size_t end, uint64_t firstListed) {
    uint64_t nextListed = firstListed;
    for (size_t index = first; index < end && block.ok(); ++index) {
        prefetchAhead(slots, index, /*withText=*/true);
        const qeAbstractNode* node = slots.node(index);
        if (node == nullptr) {
            composeEmptyRecord(block, static_cast<uint32_t>(index));
        } else {
            composeNodeRecord(block, *node, static_cast<uint32_t>(index), static_cast<uint32_t>(nextListed));
            nextListed += listedCount(*node);
        }
    }
    return block.flush();
}

// A large tree's records are composed by several threads at once, each
// writing its run of segments at the run's place in the output: the walk
// waits on memory, and every thread brings its own share of loads in
// flight. Smaller trees, and outputs that only append, take one pass.
constexpr size_t kMaxComposers = 4;
constexpr size_t kSegmentsPerComposer = 2;

size_t composerCount(qestl::qeistream& out, const DeclarationSlots& slots) {
    size_t parts = std::min(kMaxComposers, slots.segmentCount() / kSegmentsPerComposer);
    if (parts < 2) return 1;  // most blocks: no need to ask the host
    parts = std::min(parts, platform::processorCount());
    return parts >= 2 && out.writesAtPositions() ? parts : 1;
}

// The records, from `payloadAt` on (where the string list starts).
bool composeInParallel(qestl::qeistream& out, const DeclarationSlots& slots, uint64_t payloadAt, size_t parts) {
    const size_t segments = slots.segmentCount();
    out.flush();
    bool ok[kMaxComposers] = {};
    // The buffers are taken here, not on the threads, which would each open
    // an allocator arena of their own for them.
    std::unique_ptr<BlockOutput> blocks[kMaxComposers];
    size_t firsts[kMaxComposers + 1] = {};
    uint64_t listedFrom[kMaxComposers] = {};
    for (size_t part = 0; part < parts; ++part) {
        const size_t firstSegment = segments * part / parts;
        firsts[part] = firstSegment << DeclarationSlots::kSegmentShift;
        listedFrom[part] = slots.firstListed(firstSegment);
        blocks[part] = std::make_unique<BlockOutput>(out, payloadAt + slots.offset(firsts[part]));
    }
    firsts[parts] = slots.size();
    auto composePart = [&](size_t part) {
        ok[part] = composeRecords(*blocks[part], slots, firsts[part], firsts[part + 1], listedFrom[part]);
    };
    platform::runInParallel(parts, composePart);
    bool all = true;
    for (size_t part = 0; part < parts; ++part) all = all && ok[part];
    return all;
}

}  // namespace

bool writeDeclarationBlock(qestl::qeistream& out, DeclarationAstWriter& writer) {
    const uint64_t listLength = writer.stream.size();
    const DeclarationSlots& slots = writer.slots;
    if (slots.size() > UINT32_MAX || writer.length > UINT32_MAX || writer.length < listLength) return false;
    out.expectSize(out.tell() + 4 + uint64_t(4) * slots.size() + 4 + writer.length);
    BlockOutput block(out);
    block.u32(static_cast<uint32_t>(slots.size()));
    for (size_t segment = 0; segment < slots.segmentCount(); ++segment) {
        const size_t first = segment << DeclarationSlots::kSegmentShift;
        const size_t count = std::min(slots.size() - first, DeclarationSlots::kSegmentSlots);
        if constexpr (std::endian::native == std::endian::little) {
            block.bytes(slots.segmentOffsets(segment), count * 4);
        } else {
            for (size_t index = 0; index < count; ++index) block.u32(slots.segmentOffsets(segment)[index]);
        }
    }
    block.u32(static_cast<uint32_t>(writer.length));
    const size_t parts = composerCount(out, slots);
    if (parts > 1) {
        if (!block.flush()) return false;
        const uint64_t payloadAt = out.tell();
        block.bytes(writer.stream.data(), listLength);
        return block.flush() && composeInParallel(out, slots, payloadAt, parts);
    }
    block.bytes(writer.stream.data(), listLength);
    return composeRecords(block, slots, 0, slots.size(), 1);
}
