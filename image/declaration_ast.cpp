#include "image/declaration_ast.h"

#include <cstring>
#include <vector>

#include "foundation/byte_io.h"

namespace {

// A written node remembers the index it was given in the block.
void setNodeIndex(qeAbstractNode& node, uint32_t index) { node.nodeIndex = index; }

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

// A record is composed in a scratch buffer and written whole: one write per
// record instead of one per field.
class RecordBuilder {
public:
    void u32(uint32_t value) {
        ensure(4);
        qestl::storeU32LE(bytes_.data() + used_, value);
        used_ += 4;
    }
    void bytes(const void* data, size_t count) {
        if (count == 0) return;
        ensure(count);
        std::memcpy(bytes_.data() + used_, data, count);
        used_ += count;
    }
    bool writeTo(qestl::qeistream& stream) {
        const bool ok = used_ <= UINT32_MAX && stream.write(bytes_.data(), uint32_t(used_)) == used_;
        used_ = 0;
        return ok;
    }

private:
    void ensure(size_t count) {
        if (bytes_.size() - used_ >= count) return;
        std::vector<uint8_t> larger(bytes_.size() * 2 + count + 256);
        if (used_ != 0) std::memcpy(larger.data(), bytes_.data(), used_);
        bytes_.swap(larger);
    }

    std::vector<uint8_t> bytes_;
    size_t used_ = 0;
};

void composeEmptyRecord(RecordBuilder& record, uint32_t index) {
    record.u32(kEmptyNodeRecord);
    for (int field = 0; field < 7; ++field) record.u32(0);  // text, flags, file, span
    record.u32(index);
    for (int field = 0; field < 3; ++field) record.u32(0);  // no operands, children, indices
}

// The indices a node lists are those of the slots queued behind it: the
// attached node's, then its operands', then its children's.
void composeNodeRecord(RecordBuilder& record, const qeAbstractNode& node, uint32_t index, uint32_t firstListed) {
    const uint32_t listed = static_cast<uint32_t>(listedCount(node));
    record.u32(node.kind);
    record.u32(static_cast<uint32_t>(node.text.length()));
    record.bytes(node.text.c_str(), node.text.length());
    record.u32(node.flags);
    record.u32(node.fileIndex);
    record.u32(node.startLine);
    record.u32(node.startColumn);
    record.u32(node.endLine);
    record.u32(node.endColumn);
    record.u32(index);
    record.u32(static_cast<uint32_t>(node.operands.size()));
    record.u32(static_cast<uint32_t>(node.children.size()));
    record.u32(listed);
    for (uint32_t i = 0; i < listed; ++i) record.u32(firstListed + i);
}

// Both passes visit the tree breadth first, so consecutive nodes lie far
// apart in memory and nearly every visit would wait for a cache miss. The
// queue knows the nodes to come: their blocks are fetched some visits ahead
// and what they point to (lists, long texts) a few visits later, once the
// block has arrived.
constexpr size_t kNodeLead = 24;
constexpr size_t kListLead = 12;

// An asm statement on x86: GCC 12 emitted no instruction for
// __builtin_prefetch in these loops.
void prefetchLine(const void* address) {
#if defined(__x86_64__) || defined(__i386__)
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
#else
    __builtin_prefetch(address);
#endif
}

void prefetchBlock(const void* address, size_t bytes) {
    const char* start = static_cast<const char*>(address);
    for (size_t line = 0; line < bytes; line += 64) prefetchLine(start + line);
}

void prefetchAhead(const qestl::qevector<qeAbstractNode*>& nodes, size_t at, bool withText) {
    if (at + kNodeLead < nodes.size() && nodes[at + kNodeLead] != nullptr) {
        prefetchBlock(nodes[at + kNodeLead], sizeof(qeAbstractNode));
    }
    if (at + kListLead >= nodes.size() || nodes[at + kListLead] == nullptr) return;
    const qeAbstractNode& soon = *nodes[at + kListLead];
    if (withText) {
        prefetchLine(soon.text.c_str());
    } else {
        if (!soon.operands.empty()) prefetchLine(soon.operands.data());
        if (!soon.children.empty()) prefetchLine(soon.children.data());
    }
}

bool readU32(qestl::qeistream& stream, uint32_t& value) {
    uint8_t b[4];
    if (stream.read(b, 4) != 4) return false;
    value = qestl::loadU32LE(b);
    return true;
}

// Reads exactly `count` bytes, growing the buffer only as bytes arrive, so a
// length field larger than the file costs nothing.
bool readExactly(qestl::qeistream& stream, uint64_t count, qestl::ByteVector& out) {
    uint8_t chunk[65536];
    while (out.size() < count) {
        uint64_t want = count - out.size();
        uint32_t piece = want > sizeof chunk ? uint32_t(sizeof chunk) : uint32_t(want);
        uint32_t got = stream.read(chunk, piece);
        if (got == 0 || got > piece) return false;
        out.appendRange(chunk, got);
    }
    return true;
}

// A record as read: its node (empty for kind 62) and the indices it lists,
// the attached node's first, then the operands', then the children's.
struct ReadRecord {
    _KNode<qeAbstractNode> node;
    qestl::U32Vector indices;
    uint32_t operandCount = 0;
};

bool readRecord(qestl::ByteReader cursor, uint32_t index, uint32_t pathCount, const DeclarationAstReader& reader,
                ReadRecord& record) {
    uint32_t kind = 0;
    if (!cursor.u32le(kind)) return false;
    if (kind == kEmptyNodeRecord) return true;

    // Built in its pool block; a record that turns out unsound drops it.
    _KNode<qeAbstractNode> made(emplaceAstNode());
    qeAbstractNode& node = *made;
    uint32_t textLength = 0;
    const char* text = nullptr;
    uint32_t storedIndex = 0, childCount = 0, indexCount = 0;
    if (!cursor.u32le(textLength)) return false;
    if ((text = reinterpret_cast<const char*>(cursor.take(textLength))) == nullptr) return false;
    if (!cursor.u32le(node.flags) || !cursor.u32le(node.fileIndex) || !cursor.u32le(node.startLine) ||
        !cursor.u32le(node.startColumn) || !cursor.u32le(node.endLine) || !cursor.u32le(node.endColumn) ||
        !cursor.u32le(storedIndex) || !cursor.u32le(record.operandCount) || !cursor.u32le(childCount) ||
        !cursor.u32le(indexCount)) {
        return false;
    }
    const bool attached = (node.flags & NodeFlag::Annotated) != 0;
    const uint64_t expected = uint64_t(record.operandCount) + childCount + (attached ? 1 : 0);
    if (storedIndex != index || node.fileIndex >= pathCount || indexCount != expected ||
        uint64_t(indexCount) * 4 > cursor.remaining()) {
        return false;
    }
    node.kind = kind;
    node.setText(std::string_view(text, textLength));
    node.nodeIndex = storedIndex;
    markLibraryNode(node, reader.unitLevel);
    record.indices.resize(indexCount);
    for (uint32_t& slot : record.indices) cursor.u32le(slot);
    // The node keeps the record indices of its operands and children as the
    // block listed them.
    const uint32_t firstOperand = attached ? 1 : 0;
    for (uint32_t k = firstOperand; k < indexCount; ++k) {
        (k < firstOperand + record.operandCount ? node.editExtras().operandIndices : node.editExtras().childIndices)
            .pushBack(record.indices[k]);
    }
    record.node = made;
    return true;
}

// Hands each listed node to the node that lists it. A node must come after
// the one that lists it and be listed only once: the result is a tree.
bool linkRecords(qestl::qevector<ReadRecord>& records) {
    const size_t count = records.size();
    qestl::ByteVector claimed;
    claimed.resize(count);
    for (size_t i = 0; i < count; ++i) {
        ReadRecord& record = records[i];
        if (!record.node) continue;
        qeAbstractNode& node = *record.node;
        const size_t attached = (node.flags & NodeFlag::Annotated) ? 1 : 0;
        for (size_t position = 0; position < record.indices.size(); ++position) {
            const uint32_t j = record.indices[position];
            if (j <= i || j >= count || claimed[j]) return false;
            claimed[j] = 1;
            const _KNode<qeAbstractNode>& slot = records[j].node;
            if (position < attached) {
                node.setAnnotations(slot);
            } else if (position < attached + record.operandCount) {
                node.operands.pushBack(slot);
            } else {
                node.children.pushBack(slot);
            }
        }
    }
    return true;
}

// The string list at the head of the payload; its end is left in `end`.
bool readPathList(const qestl::ByteVector& payload, qestl::StringVector& paths, uint64_t& end) {
    qestl::ByteReader cursor(payload.data(), payload.size());
    uint32_t count = 0;
    if (!cursor.u32le(count) || uint64_t(count) * 4 > cursor.remaining()) return false;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t length = 0;
        const char* bytes = nullptr;
        if (!cursor.u32le(length)) return false;
        if ((bytes = reinterpret_cast<const char*>(cursor.take(length))) == nullptr) return false;
        paths.pushBack(qestl::qestringA(bytes, length));
    }
    end = cursor.position();
    return true;
}

}  // namespace

void markLibraryNode(qeAbstractNode& node, uint16_t unitLevel) {
    node.includedUnit = 1;
    node.unitLevel = unitLevel;
}

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

bool writeDeclarationAst(DeclarationAstWriter& writer, const _KNode<qeAbstractNode>& root) {
    qestl::qevector<qeAbstractNode*>& nodes = writer.nodes;
    nodes.clear();
    writer.offsets.clear();
    nodes.pushBack(root.get());
    uint64_t at = writer.stream.size();
    // One queue serves every level: the nodes still to be written on this
    // level come before those already queued for the next, so numbering by
    // queue position is numbering breadth first.
    for (size_t head = 0; head < nodes.size(); ++head) {
        if (at > UINT32_MAX || head >= UINT32_MAX) return false;
        writer.offsets.pushBack(static_cast<uint32_t>(at));
        prefetchAhead(nodes, head, /*withText=*/false);
        qeAbstractNode* node = nodes[head];
        at += kRecordFields;
        if (node == nullptr) continue;
        setNodeIndex(*node, static_cast<uint32_t>(head));
        at += node->text.length() + 4 * listedCount(*node);
        if ((node->flags & NodeFlag::Annotated) != 0) nodes.pushBack(node->annotations().get());
        for (const _KNode<qeAbstractNode>& operand : node->operands) nodes.pushBack(operand.get());
        for (const _KNode<qeAbstractNode>& child : node->children) nodes.pushBack(child.get());
    }
    if (at > UINT32_MAX) return false;
    writer.length = at;
    return true;
}

bool writeDeclarationBlock(qestl::qeistream& out, DeclarationAstWriter& writer) {
    const uint64_t listLength = writer.stream.size();
    if (writer.offsets.size() > UINT32_MAX || writer.length > UINT32_MAX || writer.length < listLength) return false;
    bool ok = writeU32(out, static_cast<uint32_t>(writer.offsets.size()));
    // The offsets go out in blocks, not one call each.
    uint8_t block[4096];
    size_t filled = 0;
    for (uint32_t offset : writer.offsets) {
        qestl::storeU32LE(block + filled, offset);
        filled += 4;
        if (filled == sizeof block) {
            ok = writeBytes(out, block, filled) && ok;
            filled = 0;
        }
    }
    ok = writeBytes(out, block, filled) && ok;
    ok = writeU32(out, static_cast<uint32_t>(writer.length)) && ok;
    ok = writeBytes(out, writer.stream.data(), listLength) && ok;
    RecordBuilder record;
    uint32_t nextListed = 1;
    for (size_t index = 0; ok && index < writer.nodes.size(); ++index) {
        prefetchAhead(writer.nodes, index, /*withText=*/true);
        const qeAbstractNode* node = writer.nodes[index];
        if (node == nullptr) {
            composeEmptyRecord(record, static_cast<uint32_t>(index));
        } else {
            composeNodeRecord(record, *node, static_cast<uint32_t>(index), nextListed);
            nextListed += static_cast<uint32_t>(listedCount(*node));
        }
        ok = record.writeTo(out);
    }
    return ok;
}

bool readDeclarationAst(DeclarationAstReader& reader, SourcePathTable& sources, _KNode<qeAbstractNode>& root,
                        qestl::qeistream& stream) {
    root.reset();
    uint32_t count = 0;
    if (!readU32(stream, count) || count == 0) return false;
    qestl::ByteVector offsetBytes;
    if (!readExactly(stream, uint64_t(count) * 4, offsetBytes)) return false;
    uint32_t length = 0;
    qestl::ByteVector payload;
    if (!readU32(stream, length) || !readExactly(stream, length, payload)) return false;

    qestl::StringVector paths;
    uint64_t listEnd = 0;
    if (!readPathList(payload, paths, listEnd)) return false;

    qestl::ByteReader offsets(offsetBytes.data(), offsetBytes.size());
    qestl::qevector<ReadRecord> records;
    records.resize(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t offset = 0;
        offsets.u32le(offset);
        // Records follow the string list; the first starts right behind it.
        if (offset < listEnd || offset >= payload.size() || (i == 0 && offset != listEnd)) return false;
        qestl::ByteReader record(payload.data(), payload.size());
        record.seek(offset);
        if (!readRecord(record, i, static_cast<uint32_t>(paths.size()), reader, records[i])) return false;
    }
    if (!records[0].node || !linkRecords(records)) return false;

    // Only a sound block reaches the source table.
    qestl::U32Vector fileIndexes;
    for (const qestl::qestringA& path : paths) fileIndexes.pushBack(sources.registerPath(qestl::widen(path)));
    for (ReadRecord& record : records) {
        if (record.node) record.node->fileIndex = fileIndexes[record.node->fileIndex];
    }
    root = records[0].node;
    return true;
}
