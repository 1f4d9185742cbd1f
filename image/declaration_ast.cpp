// Reading the declaration-tree block (the format is in declaration_ast.h).
#include "image/declaration_ast.h"

#include <cstring>

#include "foundation/byte_io.h"

namespace {

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
    // A node's kind is one byte: no writer stores a larger one.
    if (storedIndex != index || node.fileIndex >= pathCount || indexCount != expected ||
        uint64_t(indexCount) * 4 > cursor.remaining() || kind > UINT8_MAX) {
        return false;
    }
    node.kind = static_cast<uint8_t>(kind);
    node.setText(std::string_view(text, textLength));
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
