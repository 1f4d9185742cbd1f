#include "source/side_words.h"

#include <sys/mman.h>

namespace sidewords_detail {

SideWordTable* gNodeSideWords = nullptr;

SideWordTable& makeNodeSideWords() {
    gNodeSideWords = new SideWordTable();
    return *gNodeSideWords;
}

}  // namespace sidewords_detail

SideWordTable::~SideWordTable() {
    for (const Region& region : regions_)
        if (region.places != nullptr) unmapPlaces(region.places);
}

SideWordTable::Region* SideWordTable::addRegion(uintptr_t number) {
    if (2 * (used_ + 1) > regions_.size()) {
        qestl::placeSlotsAgain(regions_, 2 * regions_.size(), isFree,
                               [this](const Region& region) { return home(region.number); });
    }
    ++used_;
    const size_t at = qestl::firstFreePlace(regions_, regions_.size() - 1, home(number), isFree);
    regions_[at] = Region{number, mapPlaces(), 0};
    return last_ = &regions_[at];
}

// Mapped rather than taken from the C heap: the kernel makes a page of
// zeros as it is first written, so that a region whose nodes have few
// words costs a few pages.
uint32_t* SideWordTable::mapPlaces() {
    void* mapped = mmap(nullptr, kRegionPlaces * sizeof(uint32_t), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                        -1, 0);
    if (mapped == MAP_FAILED) qestl::outOfMemory(kRegionPlaces * sizeof(uint32_t));
    return static_cast<uint32_t*>(mapped);
}

void SideWordTable::unmapPlaces(uint32_t* places) { munmap(places, kRegionPlaces * sizeof(uint32_t)); }
