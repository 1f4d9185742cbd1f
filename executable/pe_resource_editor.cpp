#include "executable/pe_resource_editor.h"

#include <algorithm>

#include "foundation/byte_io.h"

namespace {

using qestl::ByteReader;
using qestl::ByteVector;
using qestl::ByteWriter;

constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kMaxNameUnits = 256;
constexpr uint32_t kLargestFileAlignment = 0x10000;
constexpr uint32_t kDirectoryBit = 0x80000000u;

// Section header fields.
constexpr uint32_t kVirtualSize = 8, kVirtualAddress = 12, kRawSize = 16, kRawPointer = 20, kCharacteristics = 36;

uint64_t alignUp(uint64_t value, uint32_t alignment) { return (value + alignment - 1) / alignment * alignment; }

bool isPowerOfTwo(uint32_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Header fields read and rewritten in place (all little-endian).
struct Fields {
    explicit Fields(ByteVector& bytes) : bytes(bytes) {}
    uint16_t u16(uint64_t at) { return ByteReader(bytes.data(), bytes.size()).u16At(at); }
    uint32_t u32(uint64_t at) { return ByteReader(bytes.data(), bytes.size()).u32At(at); }
    void setU16(uint64_t at, uint16_t v) { ByteWriter(bytes).patchU16(at, v); }
    void setU32(uint64_t at, uint32_t v) { ByteWriter(bytes).patchU32LE(at, v); }
    ByteVector& bytes;
};

}  // namespace

bool PeResourceEditor::fail(const char* text) {
    if (fatal_ == nullptr) fatal_ = text;
    return false;
}

PeResourceEditor::OpenResult PeResourceEditor::open(ByteVector bytes) {
    bytes_ = std::move(bytes);
    types_.clear();
    fatal_ = nullptr;
    if (bytes_.size() < 64 || bytes_[0] != 'M' || bytes_[1] != 'Z' || !parseHeaders()) {
        return fatal_ != nullptr ? kFatal : kNotPe;
    }
    if (!loadResources()) return fatal_ != nullptr ? kFatal : kNotPe;
    modified_ = false;
    return kOpened;
}

bool PeResourceEditor::parseHeaders() {
    ByteReader r(bytes_.data(), bytes_.size());
    peHeader_ = r.u32At(60);
    const uint32_t signature = r.u32At(peHeader_);
    sectionCount_ = r.u16At(uint64_t{peHeader_} + 6);
    const uint32_t optionalSize = r.u16At(uint64_t{peHeader_} + 20);
    const uint16_t magic = r.u16At(uint64_t{peHeader_} + 24);
    if (!r.ok() || signature != 0x00004550u || (magic != 0x10B && magic != 0x20B)) return false;
    wide_ = magic == 0x20B;
    sectionAlignment_ = r.u32At(uint64_t{peHeader_} + 56);
    fileAlignment_ = r.u32At(uint64_t{peHeader_} + 60);
    directories_ = peHeader_ + (wide_ ? 136 : 120);
    directoryCount_ = r.u32At(uint64_t{directories_} - 4);
    sectionTable_ = peHeader_ + 24 + optionalSize;
    // The resource entry (index 2) must lie inside the optional header. The
    // file alignment is at most 64 KiB in the format: a section is padded to
    // it, so a larger one would make a few bytes of stub ask for gigabytes.
    if (!r.ok() || !isPowerOfTwo(sectionAlignment_) || !isPowerOfTwo(fileAlignment_) ||
        fileAlignment_ > kLargestFileAlignment || directoryCount_ < 3 ||
        uint64_t{directories_} + 24 > sectionTable_ ||
        !r.holds(sectionTable_, uint64_t{sectionCount_} * kSectionHeaderSize))
        return false;
    if (uint64_t{directories_} + 8 * uint64_t{directoryCount_} > sectionTable_) {
        directoryCount_ = (sectionTable_ - directories_) / 8;
    }
    Fields f(bytes_);
    // The linker version marks the files this compiler wrote.
    bytes_[peHeader_ + 26] = 4;
    bytes_[peHeader_ + 27] = 9;
    resourceRva_ = f.u32(directories_ + 16);
    sectionOffset_ = 0;
    if (resourceRva_ == 0) return true;
    uint64_t offset = 0;
    if (!rvaToOffset(resourceRva_, offset)) return false;
    if (offset > bytes_.size()) return fail("RVA2RAW Error, RAW is too big! Exit!\n");
    sectionOffset_ = static_cast<uint32_t>(offset);
    return true;
}

bool PeResourceEditor::rvaToOffset(uint32_t rva, uint64_t& offset) {
    Fields f(bytes_);
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint64_t header = sectionTable_ + uint64_t{i} * kSectionHeaderSize;
        const uint32_t address = f.u32(header + kVirtualAddress);
        uint32_t size = f.u32(header + kVirtualSize);
        if (size == 0) size = f.u32(header + kRawSize);
        if (rva >= address && rva - address < alignUp(size, sectionAlignment_)) {
            offset = uint64_t{rva} - address + f.u32(header + kRawPointer);
            return true;
        }
    }
    return fail("RVA2RAW Error!\n");
}

bool PeResourceEditor::readName(uint32_t offset, std::u16string& name) {
    ByteReader r(bytes_.data(), bytes_.size());
    const uint32_t units = r.u16At(uint64_t{sectionOffset_} + offset);
    if (!r.ok()) return false;
    if (units > kMaxNameUnits) return fail("probably bad unicode string!\n");
    name.clear();
    for (uint32_t i = 0; i < units; ++i) name.push_back(static_cast<char16_t>(r.u16le()));
    return r.ok();
}

bool PeResourceEditor::readEntry(uint64_t entry, Entry& out) {
    ByteReader r(bytes_.data(), bytes_.size());
    const uint32_t name = r.u32At(entry);
    out.target = r.u32At(entry + 4);
    // Types and items point to a directory of the next level.
    if (!r.ok() || (out.target & kDirectoryBit) == 0) return false;
    out.target &= ~kDirectoryBit;
    out.named = (name & kDirectoryBit) != 0;
    out.id = out.named ? 0 : name;
    out.name.clear();
    return !out.named || readName(name & ~kDirectoryBit, out.name);
}

uint32_t PeResourceEditor::entryCount(uint64_t directory) {
    ByteReader r(bytes_.data(), bytes_.size());
    const uint32_t count = uint32_t{r.u16At(directory + 12)} + r.u16At(directory + 14);
    return r.ok() ? count : 0;
}

bool PeResourceEditor::loadResources() {
    if (resourceRva_ == 0) return true;
    ByteReader r(bytes_.data(), bytes_.size());
    const uint64_t root = sectionOffset_;
    if (!r.holds(root, 16)) return false;
    std::copy(bytes_.data() + root, bytes_.data() + root + 12, rootHeader_);
    Entry type, item;
    const uint32_t typeCount = entryCount(root);
    for (uint32_t t = 0; t < typeCount; ++t) {
        if (!readEntry(root + 16 + 8 * uint64_t{t}, type)) return false;
        const uint64_t items = root + type.target;
        const uint32_t itemCount = entryCount(items);
        for (uint32_t i = 0; i < itemCount; ++i) {
            if (!readEntry(items + 16 + 8 * uint64_t{i}, item)) return false;
            // Only the first language of an item is kept.
            const uint64_t languages = root + item.target;
            if (entryCount(languages) == 0) continue;
            const uint32_t language = r.u32At(languages + 16);
            const uint32_t dataTarget = r.u32At(languages + 20);
            if (!r.ok() || (dataTarget & kDirectoryBit) != 0) return false;
            const uint32_t dataRva = r.u32At(root + dataTarget);
            const uint32_t dataSize = r.u32At(root + dataTarget + 4);
            uint64_t dataOffset = 0;
            if (!r.ok() || !rvaToOffset(dataRva, dataOffset)) return false;
            if (!r.holds(dataOffset, dataSize)) continue;  // data beyond the file
            add(type.id, type.named ? type.name.c_str() : nullptr, item.id, item.named ? item.name.c_str() : nullptr,
                language, bytes_.data() + dataOffset, dataSize);
        }
    }
    return true;
}

int PeResourceEditor::add(uint32_t typeId, const char16_t* typeName, uint32_t itemId, const char16_t* itemName,
                          uint32_t language, const uint8_t* data, uint32_t length) {
    if (data == nullptr || length == 0) return 0;
    Type* type = nullptr;
    for (Type& candidate : types_) {
        const bool same = typeName != nullptr ? candidate.named && candidate.name == typeName
                                              : !candidate.named && candidate.id == typeId;
        if (same) {
            type = &candidate;
            break;
        }
    }
    if (type == nullptr) {
        types_.emplace_back();
        type = &types_.back();
        type->id = typeName != nullptr ? 0 : typeId;
        type->named = typeName != nullptr;
        if (typeName != nullptr) type->name = typeName;
    }
    for (const Item& item : type->items) {
        const bool same = itemName != nullptr ? item.named && item.name == itemName : !item.named && item.id == itemId;
        if (same && item.language == language) return 2;
    }
    Item item;
    item.id = itemName != nullptr ? 0 : itemId;
    item.named = itemName != nullptr;
    if (itemName != nullptr) item.name = itemName;
    item.language = language;
    item.length = length;
    item.data.resize(alignUp(length, wide_ ? 8 : 4));
    std::copy(data, data + length, item.data.data());
    type->items.push_back(std::move(item));
    modified_ = true;
    return 1;
}

// Named entries first, ordered by name (the loader looks them up by binary
// search), then ids in increasing order.
void PeResourceEditor::sort() {
    auto before = [](bool aNamed, const std::u16string& aName, uint32_t aId, bool bNamed, const std::u16string& bName,
                     uint32_t bId) {
        if (aNamed != bNamed) return aNamed;
        return aNamed ? aName < bName : aId < bId;
    };
    std::stable_sort(types_.begin(), types_.end(), [&](const Type& a, const Type& b) {
        return before(a.named, a.name, a.id, b.named, b.name, b.id);
    });
    for (Type& type : types_) {
        std::stable_sort(type.items.begin(), type.items.end(), [&](const Item& a, const Item& b) {
            return before(a.named, a.name, a.id, b.named, b.name, b.id);
        });
    }
}

bool PeResourceEditor::growHeaders() {
    Fields f(bytes_);
    const uint32_t headersSize = f.u32(peHeader_ + 84);
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint64_t header = sectionTable_ + uint64_t{i} * kSectionHeaderSize;
        // The headers are mapped below the first section; they cannot grow into it.
        if (f.u32(header + kVirtualAddress) < alignUp(uint64_t{headersSize} + fileAlignment_, sectionAlignment_))
            return false;
    }
    if (headersSize > bytes_.size()) return false;
    ByteVector zeros;
    zeros.resize(fileAlignment_);
    bytes_.insertRange(headersSize, zeros.data(), zeros.size());
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint64_t header = sectionTable_ + uint64_t{i} * kSectionHeaderSize;
        const uint32_t pointer = f.u32(header + kRawPointer);
        if (pointer != 0) f.setU32(header + kRawPointer, pointer + fileAlignment_);
    }
    f.setU32(peHeader_ + 84, headersSize + fileAlignment_);
    if (sectionOffset_ != 0) sectionOffset_ += fileAlignment_;
    return true;
}

bool PeResourceEditor::placeResourceSection(uint32_t length) {
    if (sectionCount_ == 0) return false;
    Fields f(bytes_);
    uint64_t initialisedData = 0;
    int64_t reused = -1;
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint64_t header = sectionTable_ + uint64_t{i} * kSectionHeaderSize;
        const uint32_t address = f.u32(header + kVirtualAddress);
        if (resourceRva_ != 0 && address == resourceRva_) {
            reused = i;
        } else if ((f.u32(header + kCharacteristics) & 0x40) != 0) {
            initialisedData += f.u32(header + kRawSize);
        }
        const uint64_t pointer = f.u32(header + kRawPointer), rawSize = f.u32(header + kRawSize);
        if (pointer != 0 && !ByteReader(bytes_.data(), bytes_.size()).holds(pointer, rawSize)) return false;
    }
    const uint64_t newRaw = alignUp(length, fileAlignment_);
    if (reused >= 0) {
        const uint64_t header = sectionTable_ + uint64_t(reused) * kSectionHeaderSize;
        const uint32_t address = f.u32(header + kVirtualAddress);
        const uint32_t pointer = f.u32(header + kRawPointer);
        if (pointer == 0) return false;  // a section without file bytes cannot hold the block
        const uint64_t oldRaw = std::min<uint64_t>(alignUp(f.u32(header + kRawSize), fileAlignment_),
                                                   bytes_.size() - pointer);
        const int64_t rawDelta = static_cast<int64_t>(newRaw) - static_cast<int64_t>(oldRaw);
        const int64_t virtualDelta = static_cast<int64_t>(alignUp(length, sectionAlignment_)) -
                                     static_cast<int64_t>(alignUp(f.u32(header + kVirtualSize), sectionAlignment_));
        if (newRaw > UINT32_MAX) return false;
        // The section's bytes are replaced; the bytes behind it follow.
        ByteVector rebuilt;
        ByteWriter out(rebuilt);
        out.bytes(bytes_.data(), pointer);
        out.zeros(newRaw);
        out.bytes(bytes_.data() + pointer + oldRaw, bytes_.size() - pointer - oldRaw);
        bytes_ = std::move(rebuilt);
        f.setU32(header + kRawSize, static_cast<uint32_t>(newRaw));
        f.setU32(header + kVirtualSize, length);
        const uint32_t entry = f.u32(peHeader_ + 40);
        if (entry >= address) f.setU32(peHeader_ + 40, static_cast<uint32_t>(entry + virtualDelta));
        uint64_t imageEnd = 0;
        for (uint32_t i = 0; i < sectionCount_; ++i) {
            const uint64_t other = sectionTable_ + uint64_t{i} * kSectionHeaderSize;
            if (i != static_cast<uint32_t>(reused)) {
                const uint32_t otherAddress = f.u32(other + kVirtualAddress);
                const uint32_t otherPointer = f.u32(other + kRawPointer);
                if (otherAddress > address) {
                    f.setU32(other + kVirtualAddress, static_cast<uint32_t>(otherAddress + virtualDelta));
                    static const uint8_t kReloc[7] = {'.', 'r', 'e', 'l', 'o', 'c', 0};
                    if (std::equal(kReloc, kReloc + 7, bytes_.data() + other) && directoryCount_ > 5)
                        f.setU32(directories_ + 40, f.u32(other + kVirtualAddress));
                }
                if (otherPointer != 0 && otherPointer >= pointer + oldRaw)
                    f.setU32(other + kRawPointer, static_cast<uint32_t>(otherPointer + rawDelta));
            }
            imageEnd = std::max<uint64_t>(imageEnd, uint64_t{f.u32(other + kVirtualAddress)} + f.u32(other + kVirtualSize));
        }
        f.setU32(peHeader_ + 80, static_cast<uint32_t>(alignUp(imageEnd, sectionAlignment_)));
        sectionOffset_ = pointer;
        return true;
    }
    // A new section behind the last one, with room for its header first.
    const uint64_t tableEnd = sectionTable_ + uint64_t{sectionCount_ + 1} * kSectionHeaderSize;
    auto headerRoom = [&] {
        uint64_t firstRaw = std::min<uint64_t>(f.u32(peHeader_ + 84), bytes_.size());
        for (uint32_t i = 0; i < sectionCount_; ++i) {
            const uint32_t pointer = f.u32(sectionTable_ + uint64_t{i} * kSectionHeaderSize + kRawPointer);
            if (pointer != 0) firstRaw = std::min<uint64_t>(firstRaw, pointer);
        }
        return firstRaw;
    };
    if (tableEnd > headerRoom() && (!growHeaders() || tableEnd > headerRoom())) return false;
    uint64_t virtualEnd = 0, rawEnd = 0;
    for (uint32_t i = 0; i < sectionCount_; ++i) {
        const uint64_t header = sectionTable_ + uint64_t{i} * kSectionHeaderSize;
        virtualEnd = std::max<uint64_t>(virtualEnd, uint64_t{f.u32(header + kVirtualAddress)} +
                                                        std::max(f.u32(header + kVirtualSize), f.u32(header + kRawSize)));
        if (f.u32(header + kRawPointer) != 0)
            rawEnd = std::max<uint64_t>(rawEnd, uint64_t{f.u32(header + kRawPointer)} + f.u32(header + kRawSize));
    }
    const uint64_t address = alignUp(virtualEnd, sectionAlignment_);
    rawEnd = alignUp(rawEnd, fileAlignment_);
    if (address + newRaw > UINT32_MAX || rawEnd > bytes_.size() + fileAlignment_ || rawEnd + newRaw > UINT32_MAX)
        return false;
    if (rawEnd > bytes_.size()) bytes_.resize(rawEnd);
    ByteVector block;
    block.resize(newRaw);
    bytes_.insertRange(rawEnd, block.data(), block.size());
    const uint64_t header = sectionTable_ + uint64_t{sectionCount_} * kSectionHeaderSize;
    std::fill(bytes_.data() + header, bytes_.data() + header + kSectionHeaderSize, 0);
    static const char kName[8] = ".rsrc";
    std::copy(kName, kName + 8, bytes_.data() + header);
    f.setU32(header + kVirtualSize, length);
    f.setU32(header + kVirtualAddress, static_cast<uint32_t>(address));
    f.setU32(header + kRawSize, static_cast<uint32_t>(newRaw));
    f.setU32(header + kRawPointer, static_cast<uint32_t>(rawEnd));
    f.setU32(header + kCharacteristics, 0x40000040u);
    ++sectionCount_;
    f.setU16(peHeader_ + 6, static_cast<uint16_t>(sectionCount_));
    resourceRva_ = static_cast<uint32_t>(address);
    f.setU32(peHeader_ + 80, static_cast<uint32_t>(alignUp(address + length, sectionAlignment_)));
    f.setU32(peHeader_ + 32, static_cast<uint32_t>(initialisedData + newRaw));
    sectionOffset_ = static_cast<uint32_t>(rawEnd);
    return true;
}

bool PeResourceEditor::write() {
    sort();
    const uint32_t unit = wide_ ? 8 : 4;
    uint64_t itemCount = 0, namesSize = 0, dataSize = 0;
    for (const Type& type : types_) {
        if (type.items.size() > 0xFFFF) return false;
        if (type.named) namesSize += 2 + 2 * type.name.size();
        for (const Item& item : type.items) {
            ++itemCount;
            if (item.named) namesSize += 2 + 2 * item.name.size();
            dataSize += item.data.size();
        }
    }
    const uint64_t tables = 16 + 24 * uint64_t{types_.size()} + 48 * itemCount;
    const uint64_t dataStart = alignUp(tables + namesSize, unit);
    const uint64_t length = alignUp(dataStart + dataSize, unit);
    if (length > UINT32_MAX / 2 || types_.size() > 0xFFFF) return false;
    if (!placeResourceSection(static_cast<uint32_t>(length))) return false;

    ByteVector block;
    block.resize(length);
    ByteWriter w(block);
    std::copy(rootHeader_, rootHeader_ + 12, block.data());
    uint64_t nextDirectory = 16 + 8 * uint64_t{types_.size()};
    uint64_t nextName = tables, nextData = dataStart;
    auto putName = [&](const std::u16string& name) {
        const uint64_t at = nextName;
        w.patchU16(at, static_cast<uint16_t>(name.size()));
        for (size_t i = 0; i < name.size(); ++i) w.patchU16(at + 2 + 2 * i, name[i]);
        nextName += 2 + 2 * name.size();
        return static_cast<uint32_t>(at) | kDirectoryBit;
    };
    auto putDirectory = [&](uint64_t at, uint32_t named, uint32_t ids) {
        w.patchU16(at + 12, static_cast<uint16_t>(named));
        w.patchU16(at + 14, static_cast<uint16_t>(ids));
    };
    uint32_t namedTypes = 0;
    for (const Type& type : types_) namedTypes += type.named ? 1 : 0;
    putDirectory(0, namedTypes, static_cast<uint32_t>(types_.size()) - namedTypes);
    // Language directories and data entries follow all the item directories.
    uint64_t itemDirectories = 0;
    for (const Type& type : types_) itemDirectories += 16 + 8 * uint64_t{type.items.size()};
    uint64_t nextLeaf = nextDirectory + itemDirectories;
    for (size_t t = 0; t < types_.size(); ++t) {
        const Type& type = types_[t];
        const uint64_t directory = nextDirectory;
        nextDirectory += 16 + 8 * uint64_t{type.items.size()};
        w.patchU32LE(16 + 8 * t, type.named ? putName(type.name) : type.id);
        w.patchU32LE(16 + 8 * t + 4, static_cast<uint32_t>(directory) | kDirectoryBit);
        uint32_t namedItems = 0;
        for (const Item& item : type.items) namedItems += item.named ? 1 : 0;
        putDirectory(directory, namedItems, static_cast<uint32_t>(type.items.size()) - namedItems);
        for (size_t i = 0; i < type.items.size(); ++i) {
            const Item& item = type.items[i];
            const uint64_t entry = directory + 16 + 8 * i;
            const uint64_t languages = nextLeaf;
            const uint64_t dataEntry = languages + 24;
            nextLeaf += 40;
            w.patchU32LE(entry, item.named ? putName(item.name) : item.id);
            w.patchU32LE(entry + 4, static_cast<uint32_t>(languages) | kDirectoryBit);
            putDirectory(languages, 0, 1);
            w.patchU32LE(languages + 16, item.language);
            w.patchU32LE(languages + 20, static_cast<uint32_t>(dataEntry));
            w.patchU32LE(dataEntry, static_cast<uint32_t>(resourceRva_ + nextData));
            w.patchU32LE(dataEntry + 4, item.length);
            std::copy(item.data.begin(), item.data.end(), block.data() + nextData);
            nextData += item.data.size();
        }
    }
    std::copy(block.begin(), block.end(), bytes_.data() + sectionOffset_);
    Fields f(bytes_);
    f.setU32(directories_ + 16, resourceRva_);
    f.setU32(directories_ + 20, static_cast<uint32_t>(length));
    return true;
}
