// The RESOURCE records of the image and the string-list document.
#include <cstring>

#include "codegen/resource_table.h"
#include "codegen/lent_bytes.h"
#include "foundation/file_stream.h"
#include "model/opcodes.h"

namespace codegen {
namespace {

constexpr uint32_t kFilePiece = 512;

// The file's bytes, exactly `length` of them; -1 when it cannot be opened,
// -2 when it holds another number of bytes than measured.
int64_t readMeasuredFile(std::span<const uint8_t> path, int64_t length, qestl::ByteVector& bytes) {
    ReadOnlyFileStream file(qestl::widen(std::string(reinterpret_cast<const char*>(path.data()), path.size()).c_str()));
    if (length < 0 || !file.open()) return -1;
    if (file.size() != static_cast<uint64_t>(length)) return -2;
    uint8_t piece[kFilePiece];
    for (;;) {
        const uint32_t n = file.read(piece, kFilePiece);
        if (n == 0) break;
        if (bytes.size() + n > static_cast<uint64_t>(length)) return -2;
        bytes.append(piece, n);
    }
    return bytes.size() == static_cast<uint64_t>(length) ? static_cast<int64_t>(length) : -2;
}

}  // namespace

uint64_t ResourceItem::encodedSize() const {
    if (isTextRun()) return run_->bytes;
    if (kind() != kResourceFile) return kRecordHead + data().size() + (kind() == kResourceString ? 1 : 0);
    // A file's item holds its path.
    OwnData& path = *own();
    if (path.fileMeasured == 0) {
        path.fileMeasured = 1;
        ReadOnlyFileStream file(
            qestl::widen(std::string(reinterpret_cast<const char*>(path.bytes.data()), path.bytes.size()).c_str()));
        const uint64_t size = file.open() ? file.size() : ~uint64_t{0};
        path.fileLength = size == ~uint64_t{0} ? -1 : static_cast<int64_t>(size);
    }
    return kRecordHead + (path.fileLength < 0 ? 0 : static_cast<uint64_t>(path.fileLength));
}

int64_t ResourceItem::write(qestl::ByteWriter& out) {
    if (isTextRun()) return writeRun(out);
    qestl::ByteVector fileBytes;
    std::span<const uint8_t> bytes = data();
    if (kind() == kResourceFile) {
        // A file is measured on the first call, here if not placed before.
        encodedSize();
        const int64_t read = readMeasuredFile(bytes, own()->fileLength, fileBytes);
        if (read < 0) return read;
        bytes = {fileBytes.data(), fileBytes.size()};
    }
    return writeRecord(out, kind(), bytes.data(), bytes.size());
}

int64_t ResourceItem::writeRecord(qestl::ByteWriter& out, uint32_t kind, const uint8_t* bytes, uint64_t length) {
    // The head in one piece: a thousand link names are written at every
    // start.
    uint8_t head[kRecordHead];
    qestl::storeU32LE(head, model::kOpResource);
    qestl::storeU32LE(head + 4, 0);
    qestl::storeU64LE(head + 8, 0);
    qestl::storeU32LE(head + 16, (model::kTypeLong << 24) | kind);
    qestl::storeU64LE(head + 20, length);
    out.bytes(head, sizeof head);
    out.bytes(bytes, length);
    if (kind == kResourceString) out.u8(0);
    return static_cast<int64_t>(kRecordHead + length + (kind == kResourceString ? 1 : 0));
}

uint64_t ResourceItem::encode(model::ModelContext&, qestl::ByteWriter& out, void*, uint64_t) {
    const int64_t written = write(out);
    return written < 0 ? 0 : static_cast<uint64_t>(written);
}

uint64_t ResourceTable::totalSize() const {
    uint64_t total = 0;
    for (const qestl::SmartPtr& held : items_) total += held.as<ResourceItem>()->encodedSize();
    return total;
}

int64_t ResourceTable::writeAll(qestl::ByteWriter& out, LentBytes* lent) {
    int64_t total = 0;
    const size_t first = lent != nullptr ? lent->writeLeadingItems(items_, out, total) : 0;
    for (size_t i = first; i < items_.size(); ++i) {
        ResourceItem* item = items_[i].as<ResourceItem>();
        const int64_t written = item->write(out);
        if (written < 0) {
            failedName = qestl::qestringA(item->name());
            failedCode = written;
            return written;
        }
        total += written;
    }
    return total;
}

void ResourceTable::exportStringTable(cbjson& document, bool all) const {
    document.reset(parseJsonText("{}"));
    auto add = [&document](const char* text) {
        JsonNode* entry = parseJsonText("{}");
        jsonAddItemToObject(entry, "0", jsonCreateString(text));
        jsonAddItemToObject(document.root(), text, entry);
    };
    for (const qestl::SmartPtr& held : items_) {
        const ResourceItem* item = held.as<ResourceItem>();
        if (item->isTextRun()) {
            const ResourceItem::TextRun& run = *item->run_;
            for (size_t i = 0; i < run.names.size(); ++i)
                if (all || (run.places[i] & ResourceItem::kMarkedText) != 0) add(run.names[i]);
            continue;
        }
        if (item->kind() != kResourceString || (!all && item->mark() != 1)) continue;
        add(item->nameText());
    }
}

}  // namespace codegen
