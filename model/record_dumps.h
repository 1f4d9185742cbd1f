// Listings of the table records of a program image (class records,
// containers, the native import table), read back from their encoded bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace model {

// Encoded bytes placed at an address, and where the texts they refer to
// (name strings, string resources) are found.
struct ImageView {
    const uint8_t* data = nullptr;
    size_t size = 0;
    uint64_t base = 0;  // the address of data[0]
    // The text at an address outside the bytes (empty when unknown).
    std::function<std::string(uint64_t address, uint64_t length)> textOutside;
    // Takes the lines listed so far and may empty `out`; called between the
    // entries of a table once they pass kListingPieceBytes: the heap of a
    // program of 100,000 classes is one record of 30 MB of lines.
    std::function<void(std::string& out)> handOn;

    bool contains(uint64_t address, uint64_t length) const {
        return address >= base && address - base <= size && length <= size - (address - base);
    }
    // The text of length bytes at an address; without a length, up to NUL.
    std::string textAt(uint64_t address, uint64_t length) const;
};

// A formatted line of at most kLineBytes - 1 bytes appended to `out`
// (longer ones are cut).
inline constexpr size_t kLineBytes = 1024;
// How much listed text is gathered before it goes on to the output.
inline constexpr size_t kListingPieceBytes = size_t{1} << 16;
void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Each appends its lines and returns the address after the record (the
// start when the record does not fit the bytes).
uint64_t dumpContainer(std::string& out, const ImageView& image, uint64_t at, const char* title, bool listedStatic);
uint64_t dumpClassObjectRecord(std::string& out, const ImageView& image, uint64_t at);
uint64_t dumpImportModule(std::string& out, const ImageView& image, uint64_t at);
uint64_t dumpImportTable(std::string& out, const ImageView& image, uint64_t at);

}  // namespace model
