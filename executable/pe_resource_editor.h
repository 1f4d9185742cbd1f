// Edits the resources of a PE32 or PE32+ file held in memory: loads the
// existing resource tree, takes new resources, and rebuilds the directory in
// the published three-level layout, reusing the resource section or adding
// one. Every header, table and directory field is checked against the bytes;
// a file that does not hold together is refused, never read past.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/vector.h"

class PeResourceEditor {
public:
    enum OpenResult { kOpened, kNotPe, kFatal };

    // Takes the file's bytes. kNotPe for a file without "MZ" or with broken
    // headers or resources; kFatal after one of the editor's fatal texts
    // (fatalText() says which).
    OpenResult open(qestl::ByteVector bytes);

    // 0: no data; 2: the type already holds that item in that language (kept
    // unchanged); 1: added. A named type or item has id 0 and a name.
    int add(uint32_t typeId, const char16_t* typeName, uint32_t itemId, const char16_t* itemName, uint32_t language,
            const uint8_t* data, uint32_t length);

    // Rebuilds the directory and places it; false when it cannot be placed
    // (fatalText() may then say why).
    bool write();

    bool modified() const { return modified_; }
    const char* fatalText() const { return fatal_; }
    qestl::ByteVector& bytes() { return bytes_; }
    uint32_t peHeader() const { return peHeader_; }

private:
    struct Item {
        uint32_t id = 0;
        std::u16string name;
        bool named = false;
        uint32_t language = 0;
        qestl::ByteVector data;  // zero-padded
        uint32_t length = 0;     // the data's own length
    };
    struct Type {
        uint32_t id = 0;
        std::u16string name;
        bool named = false;
        std::vector<Item> items;
    };

    struct Entry {
        uint32_t id = 0;
        std::u16string name;
        bool named = false;
        uint32_t target = 0;  // offset of the next level in the block
    };

    bool parseHeaders();
    bool loadResources();
    // A type or item entry; false when it is broken.
    bool readEntry(uint64_t entry, Entry& out);
    // Named plus id entries of a directory; 0 past the end.
    uint32_t entryCount(uint64_t directory);
    bool readName(uint32_t offset, std::u16string& name);
    // File offset of an RVA through the section holding it; false (with the
    // fatal text) when none does.
    bool rvaToOffset(uint32_t rva, uint64_t& offset);
    void sort();
    bool placeResourceSection(uint32_t length);
    bool growHeaders();
    bool fail(const char* text);

    qestl::ByteVector bytes_;
    const char* fatal_ = nullptr;
    uint32_t peHeader_ = 0;
    uint32_t sectionCount_ = 0;
    uint32_t sectionTable_ = 0;
    uint32_t sectionAlignment_ = 0;
    uint32_t fileAlignment_ = 0;
    uint32_t directories_ = 0;  // offset of the data directory array
    uint32_t directoryCount_ = 0;
    bool wide_ = false;         // PE32+
    uint32_t resourceRva_ = 0;
    uint32_t sectionOffset_ = 0;  // where the rebuilt block goes
    uint8_t rootHeader_[12] = {};  // characteristics, time stamp, versions
    std::vector<Type> types_;
    bool modified_ = false;
};
