// The objects a process makes once and lends to each of its compilations
// (the built-ins), with the state they had when they were made. A
// compilation marks them used, stamps them in lookups, gives them `this`
// objects, addresses and tallies; all of it is given back before the next
// compilation starts, so that each sees them as the only compilation of its
// process would.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/smart_ptr.h"

namespace model {

class IRObject;
class cbircode;
struct Operand;

// A lent record written since it was last given back: its position in its
// keeper's list, and how it was written (kKeptPlaced or kKeptWritten).
struct WrittenRecord {
    uint32_t index;
    uint8_t how;
};

// The position of each kept record in its keeper's list, found by the
// record (open addressing): every give-back looks up a thousand placed
// records, which a node-based map made a fair part of a small compilation
// (fuzz/compile_fuzz.cpp, which compiles small sources one after another).
// Only looked up, never walked, so no order depends on addresses.
class KeptIndex {
public:
    static constexpr uint32_t kAbsent = UINT32_MAX;
    void add(const cbircode* record, uint32_t index);
    uint32_t find(const cbircode* record) const;
    // The same, trying first the position found after `previous` the last
    // time (kAbsent: before the first): every compilation writes the lent
    // records in much the same order, and reading that position costs less
    // than a probe far off in the table.
    uint32_t findAfter(const cbircode* record, uint32_t previous);
    void clear();

private:
    struct Slot {
        const cbircode* record = nullptr;
        uint32_t index = kAbsent;
    };
    size_t slotOf(const cbircode* record) const;
    size_t bitOf(const cbircode* record) const;
    std::vector<Slot> slots_;
    // A bit for every record added, at a place of its own hash: most
    // records asked of one keeper are another's, and a clear bit answers
    // them without a probe.
    std::vector<uint64_t> added_;
    std::vector<const cbircode*> byIndex_;
    // The position found after each one, and the first found.
    std::vector<uint32_t> next_;
    uint32_t first_ = 0;
    size_t count_ = 0;
    // What takeWrittenRecords last answered the keeper: kept for the next
    // give-back, with a thousand records' room.
    std::vector<WrittenRecord> taken_;
    friend const std::vector<WrittenRecord>& takeWrittenRecords(KeptIndex& indexOf);
};

class KeptObjects {
public:
    KeptObjects();
    ~KeptObjects();
    KeptObjects(const KeptObjects&) = delete;
    KeptObjects& operator=(const KeptObjects&) = delete;

    // Keeps every object reachable from the roots through types, owners,
    // bases, member tables and parameters: marks it kept (no teardown
    // detaches it) and notes its state.
    void keepReachableFrom(const std::vector<qestl::SmartPtr>& roots);
    // Gives every kept object a compilation wrote (cbircode::noteWrite) the
    // state it had when it was kept. With `checkAll`, every other object is
    // compared with its state too, and one that differs (a write that was
    // not noted) is an internal fault.
    void restore(bool checkAll = false);
    // Lets the objects go: teardown may detach them again.
    void release();
    size_t size() const { return states_.size(); }

private:
    struct State;
    struct Place;
    template <typename Visit>
    static void eachField(IRObject& object, State& state, Visit visit);
    void note(State& state, IRObject& object);
    // The first field found changed and given back, or null.
    const char* giveBackState(uint32_t index);
    void giveBackPlace(uint32_t index);
    static void lendTables(IRObject& object, cbircode* with);

    std::vector<std::unique_ptr<State>> states_;
    // What placing writes, of every kept object in the order of states_,
    // side by side: most give-backs are of placed records, and reading
    // them from each object's own state missed the cache twice a record.
    std::vector<Place> places_;
    std::vector<Operand> operands_;
    KeptIndex indexOf_;
};

// The lent records written since they were last given back, first write
// first. A keeper takes out those of its own list (`indexOf`: a record's
// position there), marks them lent again and answers their positions in
// its list's order (so that giving back never depends on addresses). The
// list answered is the index's, refilled by the next call.
const std::vector<WrittenRecord>& takeWrittenRecords(KeptIndex& indexOf);
// The lent records written whole (kKeptWritten) and not given back yet,
// each once: a few in most compilations, which place a thousand.
const std::vector<cbircode*>& recordsWrittenWhole();
// Written records that no keeper took back: none once every keeper gave
// back, or a record was marked lent by none.
size_t writtenRecordsLeft();

// Whether two byte ranges hold the same bytes. The give-back compares a
// kept state with the object field by field, the same bytes whatever the
// input: memcmp would hand each pair to the fuzzer's table of compared
// values (the sanitizers intercept it), which that only fills with noise,
// and costs more than the comparison.
bool sameKeptBytes(const void* a, const void* b, size_t size);

// Gives an operand of a lent record its kept state. Placing rewrites an
// operand's encoded forms, seldom its target: a target that is the kept one
// stays, which spares counting a reference to it up and down.
void giveBackOperand(Operand& field, const Operand& kept);

// The serial the next object made takes is one past the mark; a process
// that compiles again from its kept objects starts each compilation at the
// mark they were made up to, as a process of its own would.
uint64_t serialMark();
void restartSerialsAt(uint64_t mark);

}  // namespace model
