// The side words of syntax nodes, kept beside the nodes by address rather
// than in them: most nodes have none (source/node.h, qeAbstractNode::side).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/memory.h"
#include "foundation/open_slots.h"

// The side words of the nodes that have one, by node address: for each
// 1 MiB region of the address space that holds such a node, an array of one
// 32-bit place for each 64 bytes of it (a node takes 64: two nodes never
// share one), mapped when the region's first word is written, its pages
// made by the kernel as places are written on them. A place numbers the
// node's word in a list of the words, in the order they were first written
// (a word let go of leaves its number to the next). Looked up by address
// only, never walked in an order anything depends on.
// A node's place and its word lie beside those of the nodes made just
// before and after it: the passes over a program's classes, which read the
// words of the classes' nodes in about the order they were made, read a
// line for sixteen nodes. Kept in an open table by the node's address
// instead, each word lay in a line of its own somewhere in a table tens of
// megabytes long, and every pass waited for memory at each class: at a
// million classes the table's time grew some twenty times for ten times
// the classes (bench/hostile_shapes.py template_instances,
// inheritance_chain, inheritance_chain_reversed, one_method_classes,
// unknown_bases). A place of 32 bits rather than the word itself: varied
// code has a word for one node in several, and a word for every 64 bytes
// raised its peak of memory by 6%.
class SideWordTable {
public:
    SideWordTable() = default;
    ~SideWordTable();
    SideWordTable(const SideWordTable&) = delete;
    SideWordTable& operator=(const SideWordTable&) = delete;

    uintptr_t find(const void* node) const {
        const Region* region = regionOf(reinterpret_cast<uintptr_t>(node));
        if (region == nullptr) return 0;
        const uint32_t number = region->places[placeIn(node)];
        return number != 0 ? word(number) : 0;
    }
    // The line of the node's place, loaded ahead.
    void load(const void* near) const {
        if (const Region* region = regionOf(reinterpret_cast<uintptr_t>(near)))
            qestl::touch(&region->places[placeIn(near)]);
    }
    void put(const void* node, uintptr_t value) {
        Region* region = regionOf(reinterpret_cast<uintptr_t>(node));
        if (region == nullptr) region = addRegion(reinterpret_cast<uintptr_t>(node) >> kRegionShift);
        uint32_t& number = region->places[placeIn(node)];
        if (number == 0) {
            number = newNumber();
            ++region->count;
        }
        word(number) = value;
    }
    void erase(const void* node) {
        Region* region = regionOf(reinterpret_cast<uintptr_t>(node));
        if (region == nullptr) return;
        uint32_t& number = region->places[placeIn(node)];
        if (number == 0) return;
        freed_.push_back(number);
        number = 0;
        --region->count;
    }

    // The words held.
    size_t wordCount() const { return next_ - 1 - freed_.size(); }

    // Passes each word to `take`, which answers whether the node keeps it;
    // a word not kept is let go of (its node's hasSide_ stays set and finds
    // none). The regions and the list are made again with the words kept
    // only, the pages of the others given back.
    template <typename Take>
    void sift(Take&& take) {
        std::vector<std::unique_ptr<uintptr_t[]>> held;
        held.swap(blocks_);
        const auto heldWord = [&held](uint32_t number) -> uintptr_t {
            return held[number >> kBlockShift][number & (kBlockWords - 1)];
        };
        freed_ = std::vector<uint32_t>();
        next_ = 1;
        std::vector<Region> kept;
        for (Region& region : regions_) {
            if (region.places == nullptr) continue;
            uint32_t* fresh = nullptr;
            size_t left = region.count;
            region.count = 0;
            // A line of sixteen places at a time: most are 0.
            for (size_t line = 0; left != 0; line += 16) {
                uint32_t any = 0;
                for (size_t k = 0; k < 16; ++k) any |= region.places[line + k];
                if (any == 0) continue;
                for (size_t i = line; i < line + 16; ++i) {
                    const uint32_t number = region.places[i];
                    if (number == 0) continue;
                    --left;
                    const uintptr_t value = heldWord(number);
                    if (!take(value)) continue;
                    if (fresh == nullptr) fresh = mapPlaces();
                    fresh[i] = newNumber();
                    word(fresh[i]) = value;
                    ++region.count;
                }
            }
            unmapPlaces(region.places);
            if (fresh != nullptr) kept.push_back(Region{region.number, fresh, region.count});
        }
        size_t size = kFirstRegions;
        while (size < 2 * (kept.size() + 1)) size *= 2;
        regions_.assign(size, Region{});
        used_ = 0;
        last_ = nullptr;
        for (const Region& region : kept) {
            regions_[qestl::firstFreePlace(regions_, regions_.size() - 1, home(region.number), isFree)] = region;
            ++used_;
        }
    }

private:
    static constexpr unsigned kRegionShift = 20;
    static constexpr unsigned kPlaceShift = 6;
    static constexpr size_t kRegionPlaces = size_t{1} << (kRegionShift - kPlaceShift);
    static constexpr size_t kFirstRegions = 64;
    // The list of the words, in blocks that never move.
    static constexpr unsigned kBlockShift = 16;
    static constexpr size_t kBlockWords = size_t{1} << kBlockShift;
    struct Region {
        uintptr_t number = 0;  // the address shifted by kRegionShift
        uint32_t* places = nullptr;
        size_t count = 0;  // the places that are not 0
    };
    static bool isFree(const Region& region) { return region.places == nullptr; }
    static size_t placeIn(const void* node) {
        return (reinterpret_cast<uintptr_t>(node) >> kPlaceShift) & (kRegionPlaces - 1);
    }
    size_t home(uintptr_t number) const {
        return static_cast<size_t>((number * 0x9E3779B97F4A7C15ull) >> 32) & (regions_.size() - 1);
    }
    uintptr_t& word(uint32_t number) const { return blocks_[number >> kBlockShift][number & (kBlockWords - 1)]; }
    // The number a word let go of left, or the next (from 1: 0 is no word).
    uint32_t newNumber() {
        if (!freed_.empty()) {
            const uint32_t number = freed_.back();
            freed_.pop_back();
            return number;
        }
        if (next_ == UINT32_MAX) qestl::outOfMemory(sizeof(uintptr_t));
        const uint32_t number = next_++;
        // Not cleared: every number is written before it is read, and
        // clearing the half megabyte of a first block cost every small
        // compile (hello world) 7% of its instructions, and pages it never used.
        if ((number >> kBlockShift) >= blocks_.size())
            blocks_.push_back(std::make_unique_for_overwrite<uintptr_t[]>(kBlockWords));
        return number;
    }
    // The region of an address, null when none holds a word yet. The last
    // found is asked first: a walk stays in a region for thousands of nodes.
    Region* regionOf(uintptr_t address) const {
        const uintptr_t number = address >> kRegionShift;
        if (last_ != nullptr && last_->number == number) return last_;
        const size_t mask = regions_.size() - 1;
        for (size_t at = home(number); !isFree(regions_[at]); at = (at + 1) & mask) {
            if (regions_[at].number == number) return last_ = const_cast<Region*>(&regions_[at]);
        }
        return nullptr;
    }
    Region* addRegion(uintptr_t number);
    static uint32_t* mapPlaces();
    static void unmapPlaces(uint32_t* places);

    std::vector<Region> regions_ = std::vector<Region>(kFirstRegions);
    size_t used_ = 0;
    mutable Region* last_ = nullptr;
    std::vector<std::unique_ptr<uintptr_t[]>> blocks_;
    std::vector<uint32_t> freed_;
    uint32_t next_ = 1;
};

namespace sidewords_detail {
extern SideWordTable* gNodeSideWords;
[[gnu::noinline]] SideWordTable& makeNodeSideWords();
}  // namespace sidewords_detail

// The table of the process's nodes, made at its first word and never
// destroyed: nodes released by static destructors still find it.
inline SideWordTable& nodeSideWords() {
    SideWordTable* words = sidewords_detail::gNodeSideWords;
    if (words == nullptr) [[unlikely]]
        return sidewords_detail::makeNodeSideWords();
    return *words;
}
// The same, null while no node has had a word.
inline SideWordTable* nodeSideWordsIfAny() { return sidewords_detail::gNodeSideWords; }
