#include "codegen/resource_table.h"

#include <cstring>

#include "diagnostics/diagnostics.h"
#include "foundation/ascii_case.h"
#include "foundation/byte_io.h"
#include "foundation/text_number.h"
#include "model/kept_objects.h"
#include "model/model_context.h"
#include "model/opcodes.h"
#include "source/search_paths.h"

namespace codegen {

// The record's two operands are written from the kind and the length (the
// first is always empty): an item holds no slots of its own, which took 96
// bytes for each of the two million texts of a program of a million classes.
ResourceItem::ResourceItem() : cbircode(model::kOpResource, 0) {}

ResourceItem::~ResourceItem() {
    if (owned()) delete own_;
    if (isTextRun()) delete run_;
}

ResourceItem::OwnData& ResourceItem::ownData() {
    if (!owned()) {
        auto* own = new OwnData;
        own->name = plainName();
        own->nameLength = static_cast<uint32_t>(plainLength());
        own_ = own;
        ownBits |= kOwnedBit;
    }
    return *own_;
}

void ResourceItem::dropOwnData() {
    if (!owned()) return;
    OwnData* own = own_;
    // Past a 0 byte of its own, or too long for the name word, the name's
    // length is known only here.
    if (fitsNameWord(own->name, own->nameLength) && std::memchr(own->name, 0, own->nameLength) == nullptr) {
        name_ = nameWord(own->name, own->nameLength);
        ownBits &= ~kOwnedBit;
        delete own;
        return;
    }
    own->bytes.clear();
    own->bytes.append(reinterpret_cast<const uint8_t*>(own->name), own->nameLength);
}

void ResourceItem::setName(std::string_view stored) {
    if (stored.size() > UINT32_MAX) model::internalFault("internal error: a resource name of 4 GiB");
    if (!owned() && fitsNameWord(stored.data(), stored.size()) &&
        std::memchr(stored.data(), 0, stored.size()) == nullptr) {
        name_ = nameWord(stored.data(), stored.size());
        return;
    }
    OwnData& own = ownData();
    own.name = stored.data();
    own.nameLength = static_cast<uint32_t>(stored.size());
}

void ResourceItem::setData(uint32_t newKind, const void* bytes, uint64_t length) {
    noteWrite();
    setKind(newKind);
    // A text's bytes are its name: read in place rather than copied a
    // second time. A file keeps its path and length beside.
    if (newKind != kResourceFile && bytes == nameText() && length == name().size()) {
        dropOwnData();
        return;
    }
    qestl::ByteVector copy;
    if (length != 0) copy.append(static_cast<const uint8_t*>(bytes), length);
    ownData().bytes.swap(copy);
}

const char* ResourceTable::Names::keep(std::string_view text) {
    const size_t size = text.size() + 1;
    char* at;
    if (size > kPieceBytes / 4) {
        // A long text has a piece of its own; the current one still fills.
        pieces_.push_back(std::make_unique_for_overwrite<char[]>(size));
        at = pieces_.back().get();
    } else {
        if (size > room_) {
            pieces_.push_back(std::make_unique_for_overwrite<char[]>(kPieceBytes));
            next_ = pieces_.back().get();
            room_ = kPieceBytes;
        }
        at = next_;
        next_ += size;
        room_ -= size;
    }
    if (!text.empty()) std::memcpy(at, text.data(), text.size());
    at[text.size()] = 0;
    return at;
}

model::Operand ResourceTable::referTo(size_t entry) const {
    model::Operand reference;
    if (entry < kRunTextEntry) {
        reference.setObjectRef(items_[entry], 0);
    } else {
        const RunTextPlace text = runTextAt(entry);
        reference.setObjectRef(items_[text.item], runOf(text.item).places[text.at] & ~ResourceItem::kMarkedText);
    }
    return reference;
}

std::string_view ResourceTable::entryName(size_t entry) const {
    if (entry < kRunTextEntry) return items_[entry].as<ResourceItem>()->name();
    const RunTextPlace text = runTextAt(entry);
    return runOf(text.item).names[text.at];
}

size_t ResourceTable::append(NameIndex& index, const qestl::HashedText& name, uint32_t kind, const void* data,
                             uint64_t length, uint8_t mark) {
    auto* item = new ResourceItem();
    item->setName({names_.keep(name.text), name.text.size()});
    item->setMark(mark);
    const bool named = kind == kResourceString && data == name.text.data() && length == name.text.size();
    item->setData(kind, named ? item->nameText() : data, length);
    const size_t at = items_.size();
    if (at >= kRunTextEntry) model::internalFault("internal error: more resources than an index can number");
    items_.pushBack(model::adoptLive(item));
    index.add(name.hash, at);
    return at;
}

size_t ResourceTable::NameIndex::find(const qestl::HashedText& key, const ResourceTable& table) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    const uint32_t hash = hashOf(key.hash);
    for (size_t at = hash & mask; slots_[at].item != kFree; at = (at + 1) & mask) {
        const Slot& slot = slots_[at];
        if (slot.hash == hash && table.entryName(slot.item) == key.text) return slot.item;
    }
    return kNone;
}

void ResourceTable::NameIndex::add(size_t hash, size_t at) {
    if (at >= kFree) model::internalFault("internal error: more resources than an index can number");
    const auto isFree = [](const Slot& slot) { return slot.item == kFree; };
    if ((used_ + 1) * 2 > slots_.size())
        qestl::placeSlotsAgain(slots_, slots_.empty() ? 64 : slots_.size() * 2, isFree,
                               [](const Slot& slot) { return slot.hash; });
    const Slot entered{hashOf(hash), static_cast<uint32_t>(at)};
    slots_[qestl::firstFreePlace(slots_, slots_.size() - 1, entered.hash, isFree)] = entered;
    ++used_;
}

size_t ResourceTable::findString(const qestl::HashedText& key) const {
    const NameIndex* indexes[] = {lentStrings_, &strings_};
    for (const NameIndex* index : indexes) {
        if (index == nullptr) continue;
        const size_t found = index->find(key, *this);
        if (found != NameIndex::kNone) return found;
    }
    return NameIndex::kNone;
}

model::Operand ResourceTable::getOrAdd(model::ModelContext& context, std::string_view name, uint32_t kind,
                                       const void* data, uint64_t length, const model::NodeHandle& node) {
    const uint8_t mark = node ? 1 : 0;
    if (stringsReleased_) [[unlikely]]
        restoreStringIndex();
    switch (kind) {
    case kResourceString: {
        if (mayBeUnlisted(name)) enterUnlisted();
        const qestl::HashedText key(name);
        const size_t found = findString(key);
        if (found == NameIndex::kNone) return referTo(append(strings_, key, kind, data, length, mark));
        // A text the compiler asked for first (a name, a link name) is
        // still the program's own once a literal asks for it too.
        if (mark != 0 && found >= kRunTextEntry) {
            const RunTextPlace text = runTextAt(found);
            runOf(text.item).places[text.at] |= ResourceItem::kMarkedText;
        } else if (mark != 0) {
            ResourceItem* item = items_[found].as<ResourceItem>();
            item->noteWrite();
            item->setMark(mark);
        }
        return referTo(found);
    }
    case kResourceFile: {
        qestl::qestringW path;
        if (!findIncludedFile(qestl::widen(std::string(name).c_str()), path)) {
            context.reportError(diag::ResourceNotFound, node, name);
            return model::Operand();
        }
        const qestl::qestringA found = qestl::narrow(path);
        const size_t hit = files_.find(qestl::HashedText(found.view()), *this);
        if (hit != NameIndex::kNone) return referTo(hit);
        return referTo(append(files_, name, kind, found.c_str(), found.length(), 0));
    }
    default: {
        listUnlisted();
        qestl::qestringA numbered;
        numbered.appendFormat("#%d",
                              static_cast<int>(lentStringCount() + strings_.size() + blocks_.size() + files_.size()));
        return referTo(append(blocks_, numbered.view(), kind, data, length, mark));
    }
    }
}

model::Operand ResourceTable::addUnlistedString(const qestl::qestringA& text) {
    const std::string_view name = text.view();
    const auto at = static_cast<uint32_t>(items_.size());
    auto* item = new ResourceItem();
    // The catalogue's link names lie in the binary, each with a 0 behind it:
    // read there, a thousand of them are not copied at every start.
    item->setName({text.isStaticText() ? text.c_str() : names_.keep(name), name.size()});
    // A new item is already a text whose bytes are its name.
    items_.pushBack(model::adoptLive(item));
    unlisted_.push_back(at);
    noteShape(name);
    return referTo(at);
}

void ResourceTable::enterUnlisted() {
    if (stringsReleased_) restoreStringIndex();
    std::vector<uint32_t> taken;
    taken.swap(unlisted_);
    std::fill(std::begin(unlistedShapes_), std::end(unlistedShapes_), 0);
    for (uint32_t at : taken) {
        const qestl::HashedText key(items_[at].as<ResourceItem>()->name());
        // Added unlisted because no item had the name: one that has is the
        // caller's fault.
        if (findString(key) != NameIndex::kNone)
            model::internalFault("internal error: a string resource added unlisted was there already");
        strings_.add(key.hash, at);
    }
}

void ResourceTable::clear() {
    stringsReleased_ = false;
    unlisted_.clear();
    std::fill(std::begin(unlistedShapes_), std::end(unlistedShapes_), 0);
    // Lent items are never detached: the registry keeps them.
    for (size_t i = lentItems_; i < items_.size(); ++i) items_[i].as<model::cbircode>()->detach();
    items_.clear();
    runs_.clear();
    runTextCount_ = 0;
    lentItems_ = 0;
    strings_.clear();
    blocks_.clear();
    files_.clear();
    names_.clear();
    lentStrings_ = nullptr;
    failedName.clear();
    failedCode = 0;
}

void ResourceTable::releaseStringIndex() {
    strings_.release();
    stringsReleased_ = true;
}

void ResourceTable::restoreStringIndex() {
    stringsReleased_ = false;
    // The table's own strings (translated ones stay strings), in the order
    // they were entered, but those appended unlisted and not entered yet.
    size_t pending = 0;
    for (size_t i = lentItems_; i < items_.size(); ++i) {
        if (pending < unlisted_.size() && unlisted_[pending] == i) {
            ++pending;
            continue;
        }
        const ResourceItem* item = items_[i].as<ResourceItem>();
        if (item->kind() == kResourceString || item->kind() == kResourceTranslations)
            strings_.add(qestl::HashedText(item->name()).hash, i);
    }
    enterRunTexts();
}

void ResourceTable::applyLanguageMapping(const JsonNode* mapping) {
    if (mapping == nullptr || jsonKind(mapping->value) != kJsonObject) return;
    for (const qestl::SmartPtr& held : items_) {
        ResourceItem* item = held.as<ResourceItem>();
        if (item->kind() != kResourceString) continue;
        for (const JsonNode* member = mapping->value->child; member != nullptr; member = member->next) {
            const char* key = member->value->key;
            if (key == nullptr ||
                !qestl::sameIgnoringAsciiCase(key, std::strlen(key), item->nameText(), item->name().size()))
                continue;
            qestl::ByteVector table;
            buildTranslationTable(table, member);
            item->setData(kResourceTranslations, table.data(), table.size());
            break;
        }
    }
}

void buildTranslationTable(qestl::ByteVector& out, const JsonNode* languages) {
    std::map<uint32_t, std::string_view> texts;
    if (languages != nullptr && jsonKind(languages->value) == kJsonObject) {
        for (const JsonNode* member = languages->value->child; member != nullptr; member = member->next) {
            const JsonValue* value = member->value;
            if (value->key == nullptr) continue;
            const auto number = static_cast<uint32_t>(qestl::parseInt64(qestl::qestringA(value->key)));
            const char* text = jsonKind(value) == kJsonString && value->string != nullptr ? value->string : "";
            texts[number] = text;
        }
    }
    out.clear();
    qestl::ByteWriter writer(out);
    writer.u32le(static_cast<uint32_t>(texts.size() + 1));
    uint32_t offset = 0;
    for (const auto& [number, text] : texts) {
        writer.u32le(number);
        writer.u32le(offset);
        offset += static_cast<uint32_t>(text.size() + 1);
    }
    writer.u32le(0xFFFFFFFFu);
    writer.u32le(offset);
    for (const auto& [number, text] : texts) {
        writer.bytes(text.data(), text.size());
        writer.u8(0);
    }
}

}  // namespace codegen
