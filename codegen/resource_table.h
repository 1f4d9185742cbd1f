// The resources of a program that are not code: string texts, binary
// blocks, embedded files and translated string tables. Compilers ask the
// table for a resource and get a reference to its record; the image writer
// places and encodes the records.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/byte_io.h"
#include "foundation/json.h"
#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "foundation/rbtree.h"
#include "foundation/smart_ptr.h"
#include "foundation/text_map.h"
#include "foundation/vector.h"
#include "model/ircode.h"

namespace model {
class ModelContext;
}

namespace codegen {

class LentBytes;

enum ResourceKind : uint32_t {
    kResourceString = 0,
    kResourceBinary = 1,
    kResourceFile = 2,
    kResourceTranslations = 4,
};

class ResourceItem : public model::cbircode {
public:
    ResourceItem();
    ~ResourceItem() override;
    ResourceItem(const ResourceItem&) = delete;
    ResourceItem& operator=(const ResourceItem&) = delete;

    // Replaces the bytes and the kind.
    void setData(uint32_t newKind, const void* bytes, uint64_t length);
    // The name is read where it lies (a table keeps its items' names), and
    // must stay there as long as the item is read: 0-terminated.
    void setName(std::string_view stored);
    std::string_view name() const {
        return owned() ? std::string_view(own_->name, own_->nameLength) : std::string_view(plainName(), plainLength());
    }
    const char* nameText() const { return owned() ? own_->name : plainName(); }
    // The bytes: those of the name, for a text that is its name.
    std::span<const uint8_t> data() const {
        if (owned()) return {own_->bytes.data(), own_->bytes.size()};
        return {reinterpret_cast<const uint8_t*>(plainName()), plainLength()};
    }
    // Many texts the compiler names records with, each written as a record
    // of its own (codegen/resource_runs.cpp); no name or bytes of its own.
    bool isTextRun() const { return kind() == kTextRunKind; }

    // One of ResourceKind.
    uint32_t kind() const { return ownBits & kKindBits; }
    void setKind(uint32_t newKind) { ownBits = static_cast<uint8_t>((ownBits & ~kKindBits) | (newKind & kKindBits)); }
    // 1 for a text the source asked for (a literal), 0 for one only the
    // compiler did.
    uint8_t mark() const { return (ownBits & kMarkBit) != 0 ? 1 : 0; }
    void setMark(uint8_t marked) {
        ownBits = static_cast<uint8_t>(marked != 0 ? ownBits | kMarkBit : ownBits & ~kMarkBit);
    }

    // The record: opcode, the two operands, the data (a string with its
    // terminator). A file is measured on the first call and placed with
    // that length.
    uint64_t encodedSize() const override;
    uint64_t encode(model::ModelContext& context, qestl::ByteWriter& out, void* writerData, uint64_t position) override;
    // The record written, or -1 for a file that cannot be read now and -2
    // for one that no longer has its measured length.
    int64_t write(qestl::ByteWriter& out);

private:
    friend class ResourceTable;

    // The kind, the mark and whether own_ is set, in the record's own byte.
    static constexpr uint8_t kKindBits = 7, kMarkBit = 8, kOwnedBit = 16;
    static constexpr uint32_t kTextRunKind = 7;
    // A record's opcode and two operands, before its bytes.
    static constexpr uint64_t kRecordHead = 4 + 2 * 12;
    // One record: the head, the bytes and a string's terminator; the bytes
    // written.
    static int64_t writeRecord(qestl::ByteWriter& out, uint32_t kind, const uint8_t* bytes, uint64_t length);
    bool owned() const { return (ownBits & kOwnedBit) != 0; }

    // What only blocks, files, translations and texts other than their
    // names have: a program of a million classes makes two million items,
    // every one a text that is its own name. Such an item keeps its name
    // here, in the word that would otherwise point at the name, and the
    // name's length. A name that holds a 0 byte, or that the name word
    // cannot hold, has its length and its bytes here too.
    struct OwnData {
        qestl::ByteVector bytes;
        int64_t fileLength = -1;
        uint8_t fileMeasured = 0;
        const char* name = "";
        uint32_t nameLength = 0;
    };
    // Made on the first call.
    OwnData& ownData();
    OwnData* own() const { return owned() ? own_ : nullptr; }
    // The bytes are the name's again.
    void dropOwnData();

    // The texts of a run and where each one's record lies from the run's
    // start, the top bit of that the text's mark (as an item's); the table
    // numbers the run's texts from `firstText` on.
    struct TextRun {
        std::vector<const char*> names;
        std::vector<uint32_t> places;
        uint64_t bytes = 0;
        size_t firstText = 0;
    };
    static constexpr uint32_t kMarkedText = uint32_t{1} << 31;
    int64_t writeRun(qestl::ByteWriter& out) const;

    // A name not owned: its address, and its length in the top bits that
    // an address in user space leaves 0. Measured each time it was read,
    // every catalogue link name was measured again as the image was laid
    // out and again as it was written.
    static_assert(sizeof(uintptr_t) == 8, "a name word of 64 bits");
    static constexpr unsigned kNameLengthShift = 48;
    static constexpr uintptr_t kNameAddressMask = (uintptr_t{1} << kNameLengthShift) - 1;
    static bool fitsNameWord(const char* text, size_t length) {
        return (reinterpret_cast<uintptr_t>(text) & ~kNameAddressMask) == 0 &&
               length < (uintptr_t{1} << (64 - kNameLengthShift));
    }
    static uintptr_t nameWord(const char* text, size_t length) {
        return reinterpret_cast<uintptr_t>(text) | uintptr_t{length} << kNameLengthShift;
    }
    const char* plainName() const { return reinterpret_cast<const char*>(name_ & kNameAddressMask); }
    size_t plainLength() const { return name_ >> kNameLengthShift; }

    union {
        uintptr_t name_ = reinterpret_cast<uintptr_t>("");
        OwnData* own_;  // while owned()
        TextRun* run_;  // while isTextRun()
    };
};

// A program of a million classes has two million of them.
static_assert(sizeof(ResourceItem) == 56, "a resource item takes seven words");

class ResourceTable {
public:
    ResourceTable() = default;
    virtual ~ResourceTable() = default;
    ResourceTable(const ResourceTable&) = delete;
    ResourceTable& operator=(const ResourceTable&) = delete;

    // A reference (kind 26, value 0) to the item of the text, block or file;
    // an empty operand after "找不到资源" for a file found nowhere.
    model::Operand getOrAdd(model::ModelContext& context, std::string_view name, uint32_t kind, const void* data,
                            uint64_t length, const model::NodeHandle& node);
    // getOrAdd of a text the compiler names a record with (a class's name
    // and link name as the class is placed): a new one joins the run of
    // such texts that ends the table (codegen/resource_runs.cpp).
    model::Operand getOrAddName(model::ModelContext& context, std::string_view name);
    // getOrAdd of a string the caller knows the table lacks (a catalogue
    // method's link name): appended now, entered in the index of names only
    // when a string of the same shape is asked for (mayBeUnlisted). A static
    // text is read in place.
    model::Operand addUnlistedString(const qestl::qestringA& text);
    // Stores the translations of every string the mapping object names.
    void applyLanguageMapping(const JsonNode* mapping);
    void clear();
    // The addresses are assigned: the index of strings, tens of megabytes in
    // a program of a million classes, is let go of while the image is
    // written, and made again from the items should a string be asked for
    // after.
    void releaseStringIndex();

    // The encoded size of every item.
    uint64_t totalSize() const;
    // Writes the items in order; the bytes written, or the first failure
    // (negative), whose item name and code stay in failedName/failedCode.
    // The lent items that lead may come from `lent`'s memory.
    int64_t writeAll(qestl::ByteWriter& out, LentBytes* lent = nullptr);
    // The string items as a string-list document: those requested from
    // source (all with the all flag), each "text": {"0": "text"}.
    void exportStringTable(cbjson& document, bool all) const;

    const qestl::SmartPtrVector& items() const { return items_; }

    // A large program's string index lies far outside the caches: the
    // place where a later getOrAdd of the text will search is loaded ahead.
    // Below that size the text is not even hashed.
    // Asked only to choose whether to load ahead: the strings not entered
    // yet stay so.
    bool stringsOutgrowCaches() const { return strings_.outgrowsCaches(); }
    void prefetchString(std::string_view text) const {
        if (!strings_.outgrowsCaches()) return;
        listUnlisted();
        strings_.prefetch(qestl::HashedText(text).hash);
    }

    // The built-ins' link names, registered once for a process that compiles
    // many times: the registry's table keeps its items (no teardown detaches
    // them) and notes their state; each compilation's table starts from them
    // as its own first items, and the registry gives back their state after
    // it (an address, a mark, translations). Lent items are not copied: a
    // compilation asks for a thousand of them before its first line.
    void keepItems();
    void lendItemsTo(ResourceTable& table) const;
    // Gives back the items written (cbircode::noteWrite); `checkAll` also
    // compares every other one (model::KeptObjects::restore).
    void giveBackItems(bool checkAll = false);
    void releaseItems();
    ResourceItem* item(size_t i) const { return items_[i].as<ResourceItem>(); }

    qestl::qestringA failedName;
    int64_t failedCode = 0;

private:
    // The items by their own names, which never change: open addressing
    // over item numbers and the names' hashes, so that entering one of the
    // thousand link names a compilation asks for before its first line
    // allocates nothing of its own.
    class NameIndex {
    public:
        static constexpr size_t kNone = SIZE_MAX;
        // The entry of the table named `key` (an item's number, or a run's
        // text as runTextEntry numbers it), or kNone.
        size_t find(const qestl::HashedText& key, const ResourceTable& table) const;
        // Enters item `at`, whose name is not entered yet.
        void add(size_t hash, size_t at);
        size_t size() const { return used_; }
        bool empty() const { return used_ == 0; }
        bool outgrowsCaches() const { return slots_.size() >= kCachedSlots; }
        void prefetch(size_t hash) const { qestl::touch(&slots_[hashOf(hash) & (slots_.size() - 1)]); }
        void clear() {
            slots_.clear();
            used_ = 0;
        }
        void release() {
            decltype(slots_)().swap(slots_);
            used_ = 0;
        }

    private:
        // Half a hash beside a 32-bit item number: a program of a million
        // classes enters two million texts, and slots of 16 bytes took 128
        // MiB at the peak.
        static constexpr uint32_t kFree = UINT32_MAX;
        struct Slot {
            uint32_t hash = 0;
            uint32_t item = kFree;
        };
        static uint32_t hashOf(size_t hash) { return static_cast<uint32_t>(hash); }
        static constexpr size_t kCachedSlots = size_t{1} << 17;  // 1 MiB of slots
        qestl::TableVector<Slot> slots_;                         // a power of two, at most half used
        size_t used_ = 0;
    };

    // The names of the table's items, each with a 0 byte behind it, in
    // pieces that never move: a name of its own on the C heap took 32 bytes
    // for the 9 of a class's link name, twice for each class.
    class Names {
    public:
        const char* keep(std::string_view text);
        void clear() {
            pieces_.clear();
            room_ = 0;
        }

    private:
        static constexpr size_t kPieceBytes = size_t{1} << 16;
        std::vector<std::unique_ptr<char[]>> pieces_;
        char* next_ = nullptr;
        size_t room_ = 0;
    };
    Names names_;

    // A reference to the entry (an item, or a text in a run).
    model::Operand referTo(size_t entry) const;
    // The name of the entry; an item's for a number below kRunTextEntry.
    std::string_view entryName(size_t entry) const;
    // The index's entries from this one on are the texts in runs, in the
    // order they were added.
    static constexpr size_t kRunTextEntry = size_t{1} << 31;
    // The item numbers of the runs, in order, and how many texts they hold.
    std::vector<uint32_t> runs_;
    size_t runTextCount_ = 0;
    // The item of the run holding the text of the entry, and its place there.
    struct RunTextPlace {
        size_t item;
        size_t at;
    };
    RunTextPlace runTextAt(size_t entry) const;
    ResourceItem::TextRun& runOf(size_t item) const { return *items_[item].as<ResourceItem>()->run_; }
    // Enters the texts of every run in the index of strings.
    void enterRunTexts();
    // The entry of a string the table holds, lent ones first, or kNone.
    size_t findString(const qestl::HashedText& key) const;
    size_t append(NameIndex& index, const qestl::HashedText& name, uint32_t kind, const void* data, uint64_t length,
                  uint8_t mark);

    const NameIndex* lentStrings_ = nullptr;
    size_t lentStringCount() const { return lentStrings_ != nullptr ? lentStrings_->size() : 0; }

    struct KeptItem {
        qestl::SmartPtr item;
        uint64_t codeAddress = 0;
        uint8_t resolvedOnce = 0;
        uint8_t mark = 0;
        uint8_t kind = 0;
        uint8_t fileMeasured = 0;
        bool named = true;  // no data of its own
        qestl::ByteVector data;
        int64_t fileLength = -1;
    };
    std::vector<KeptItem> kept_;
    // Only its place and operands unless `whole`; a whole give-back answers
    // whether the item had changed.
    static bool giveBackItem(KeptItem& state, bool whole);

    qestl::SmartPtrVector items_;
    size_t lentItems_ = 0;  // the first items, lent by a registry
    // One index per family: strings (translated ones stay), binary blocks
    // and files, so a text never finds a block or a file of the same name.
    NameIndex strings_, blocks_, files_;
    // Strings appended by addUnlistedString and not entered in strings_ yet,
    // in order, and a filter of their names' shapes: two bits of 8192 for
    // each, from its length and four of its bytes. The catalogue's link
    // names and the paths of the image's records all begin with '/', so a
    // filter of first bytes let the first path enter them all (hello
    // world: some thousand names hashed for one path).
    std::vector<uint32_t> unlisted_;
    static constexpr size_t kShapeWords = 128;
    uint64_t unlistedShapes_[kShapeWords] = {};
    // The name's two bits of the filter.
    static std::array<unsigned, 2> shapeBits(std::string_view name) {
        const size_t n = name.size();
        const auto byte = [&name](size_t at) { return uint64_t{static_cast<uint8_t>(name[at])}; };
        const uint64_t key = n == 0 ? 0 : n | byte(0) << 32 | byte(n / 3) << 40 | byte(n / 2) << 48 | byte(n - 1) << 56;
        const uint64_t shape = (key ^ key >> 29) * 0x9E3779B97F4A7C15ull;
        return {static_cast<unsigned>(shape >> 51), static_cast<unsigned>(shape >> 38) & 8191u};
    }
    void noteShape(std::string_view name) {
        for (const unsigned bit : shapeBits(name)) unlistedShapes_[bit >> 6] |= uint64_t{1} << (bit & 63);
    }
    bool mayBeUnlisted(std::string_view name) const {
        if (unlisted_.empty()) return false;
        for (const unsigned bit : shapeBits(name))
            if ((unlistedShapes_[bit >> 6] >> (bit & 63) & 1) == 0) return false;
        return true;
    }
    void listUnlisted() const {
        if (!unlisted_.empty()) const_cast<ResourceTable*>(this)->enterUnlisted();
    }
    void enterUnlisted();
    bool stringsReleased_ = false;
    void restoreStringIndex();
};

// The kind-4 data of one text's translations: count + 1, the (language,
// offset) pairs by language, the closing pair, then the texts.
void buildTranslationTable(qestl::ByteVector& out, const JsonNode* languages);

}  // namespace codegen
