// The names whose lookup failed in the containers: numbered once for the
// compilation (FailedNameNumbers, which the model context holds), each
// container noting the count of members it had at a name's first failure
// and the similar names a message listed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/look_ahead.h"
#include "foundation/open_slots.h"
#include "foundation/smart_ptr.h"
#include "foundation/text_map.h"
#include "model/similar_names.h"

namespace model {

// Every name that failed a lookup in some container, numbered: a lookup
// fails one name in many containers, which keep its number only; the name
// is numbered once per lookup. One numbering serves a compilation and every
// container it looks up in: the built-ins lent to it keep the numbers of the
// registry's, which the compilation shares (ModelContext). The numbers live
// as long as the numbering: a container keeps them through its teardown
// without asking it.
class FailedNameNumbers {
public:
    FailedNameNumbers() = default;
    FailedNameNumbers(const FailedNameNumbers&) = delete;
    FailedNameNumbers& operator=(const FailedNameNumbers&) = delete;

    // The name's number, kept in `name` for the next table asked.
    uint32_t numberOf(const qestl::HashedText& name) {
        if (name.number != 0 && name.numberGeneration == generation_) return name.number;
        name.number = numberFound(name);
        name.numberGeneration = generation_;
        return name.number;
    }
    // Loads ahead the place where the name's number is looked for: a caller
    // that knows a name its next lookup fails in some table has it loaded
    // while other work is done.
    void prefetch(const qestl::HashedText& name) const;
    // What a HashedText numbered here holds besides its number: the numbers
    // of another numbering are not these.
    uint32_t generation() const { return generation_; }

private:
    [[gnu::noinline]] uint32_t numberFound(const qestl::HashedText& name);
    static uint32_t numberFor(uint32_t count);
    void grow();

    // A slot holds where its name's text lies: a lookup of a name numbered
    // before reads the slot and the text, where a list of the names beside
    // the slots cost one more wait for memory in a table of a million names
    // (bench/hostile_shapes.py template_instances and unknown_bases).
    struct Slot {
        uint32_t hash;   // the low half of the name's hash
        uint32_t count;  // the name failed count-th (numberFor); 0 is a free slot
        uint32_t at;     // the text's place in text_
        uint32_t length;
    };
    std::string text_;
    size_t used_ = 0;
    qestl::TableVector<Slot> slots_;
    // Told apart by where they lie: two numberings alive at once lie apart,
    // and a name is hashed (and numbered) anew for each lookup.
    const uint32_t generation_ = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(this) >> 4) | 1u;
};

// The names whose lookup failed in a container, each with the count of
// members the container had at its first failure, and the similar names a
// message listed. A large program fails lookups in a million containers:
// each holds no more than one block of (name number, count) pairs, the
// names themselves are kept once for the compilation (FailedNameNumbers). Most
// fail one name only: that pair is held in place of the block (the peak of
// bench/hostile_shapes.py inheritance_chain_reversed and template_nesting).
class FailedNames {
public:
    FailedNames() = default;
    // Most containers never fail a lookup: nothing to let go of, in place.
    ~FailedNames() {
        if (held_ != 0) clear();
    }
    FailedNames(const FailedNames&) = delete;
    FailedNames& operator=(const FailedNames&) = delete;

    // The count noted at the first failure of the name of that number;
    // `count` is noted now when the name has not failed before.
    size_t countAtFirstFailure(uint32_t number, size_t count) {
        const size_t noted = held_ != 0 ? find(number) : kNotNoted;
        return noted != kNotNoted ? noted : noteFirstFailure(number, count);
    }
    // The count noted at the name's first failure, kNotNoted before it; the
    // name is numbered either way. Most failures repeat an earlier one of a
    // name the lookup numbered already: that answer is read in place.
    static constexpr size_t kNotNoted = SIZE_MAX;
    size_t notedCount(const qestl::HashedText& name, FailedNameNumbers& numbers) const {
        if (held_ != 0 && name.number != 0 && name.numberGeneration == numbers.generation()) return find(name.number);
        return notedNumbered(name, numbers);
    }
    // `number` is the name's, as notedCount left it.
    [[gnu::noinline]] size_t noteFirstFailure(uint32_t number, size_t count);
    // The similar names of a failed name, among the members counted, once a
    // message listed some; null before.
    const std::vector<qestl::SmartPtr>* similarList(std::string_view name);
    void keepSimilarList(std::string_view name, std::vector<qestl::SmartPtr>&& similar);
    // Loads ahead where countAtFirstFailure and similarList look for the
    // name of that number.
    void prefetchListing(const qestl::HashedText& name, uint32_t number) const {
        const Block* kept = block();
        if (kept == nullptr) return;
        qestl::touchHashed(&kept->slots[Block::place(number, kept->mask)]);
        if (kept->listed != nullptr) kept->listed->similar.prefetch(name.hash);
    }
    // The index of the container's member names, once a container has been
    // walked for near misses some times over (`walked` members now): null
    // before.
    NearMissIndex* nearMissIndex(size_t walked, size_t memberCount);
    // The members were replaced, not only added to.
    void forgetNearMissIndex();
    void clear();
    // Notes every name noted in `earlier` as failing among no members (a
    // table made after those names failed where it was not made yet).
    void noteAllAtNone(const FailedNames& earlier);

private:
    struct Slot {
        uint32_t number;  // the name's number + 1; 0 is a free slot
        uint32_t count;
    };
    // A header and its slots in one allocation; most containers that fail a
    // lookup fail a few names.
    // What a container that messages asked for near misses keeps besides.
    struct Listed {
        qestl::TextMap<std::vector<qestl::SmartPtr>> similar;
        std::unique_ptr<NearMissIndex> index;
        size_t walked = 0;
    };
    struct Block {
        uint32_t mask;
        uint32_t used;
        Listed* listed;
        Slot slots[1];

        static size_t bytesFor(uint32_t capacity) { return offsetof(Block, slots) + capacity * sizeof(Slot); }
        static Block* make(uint32_t capacity);
        static void free(Block* block);
        static size_t place(uint32_t number, uint32_t mask) { return (number * 2654435761u) & mask; }
        // The first place of the run of eight that the names numbered eight
        // after this one's run take (numberFor spreads the runs).
        static size_t nextRun(uint32_t number, uint32_t mask) {
            return (((number * 2654435761u) & ~7u) + (2654435761u << 3)) & mask;
        }
    };
    Listed& listed();
    static constexpr uint32_t kLargeBlockMask = 4095;  // 32 KiB of places
    size_t find(uint32_t number) const {
        if ((held_ & kOnePair) != 0) return held_ >> 32 == number ? (held_ & kOneCount) >> 1 : kNotNoted;
        const Block* block = reinterpret_cast<const Block*>(held_);
        const Slot* slots = block->slots;  // as a pointer: the array runs past its declared length
        for (size_t i = Block::place(number, block->mask); slots[i].number != 0; i = (i + 1) & block->mask)
            if (slots[i].number == number) return slots[i].count;
        return kNotNoted;
    }
    [[gnu::noinline]] size_t notedNumbered(const qestl::HashedText& name, FailedNameNumbers& numbers) const;
    // Makes the block, or a larger one, with the pairs held so far.
    void grow();
    // Nothing (0), a Block*, or one pair in place: the name's number in the
    // high half, the count shifted by one, kOnePair set. A count past 31 bits
    // takes a block.
    static constexpr uint64_t kOnePair = 1;
    static constexpr uint64_t kOneCount = 0xFFFFFFFEu;
    static constexpr size_t kLargestOneCount = kOneCount >> 1;
    Block* block() const { return (held_ & kOnePair) != 0 ? nullptr : reinterpret_cast<Block*>(held_); }
    uint64_t held_ = 0;
};

}  // namespace model
