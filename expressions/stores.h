// What assignments and increments share: which values can be stored into,
// the fusion of a store into the member or element load that produced its
// target, and how an assignment ranks and chooses among its pairs of left
// and right values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>

#include "model/candidate_rank.h"
#include "model/ir_result.h"

class CompileContext;

namespace expressions {

// Constants, immediates, the exception register and string offsets take no
// store.
bool isUnmodifiable(const model::IRResult& value);

// The code that reached the value's object (its owner chain) moves in front
// of the value's own pending code.
void takeOwnerCode(model::IRResult& value);

// What IRResult::appendResult does, for a value read no more: its code is
// moved to the end of `into`'s rather than copied, and it is left without.
void appendTakenResult(model::IRResult& into, model::IRResult& value);

// When the value is register 0 loaded by its last pending member or element
// load, that load becomes the store `opcode` (a private copy replaces the
// shared instruction) and is handed back; null when nothing fuses. Operand 1
// (the member slot or the index) is typed by the value's type.
model::cbircode* fuseIntoLoad(model::IRResult& value, uint32_t operatorCode, uint32_t& opcode);

// The typed "=" store of a left value's type: plain, fused into an element
// store, fused into a property store.
enum class StoreForm { Plain, Element, Property };
uint32_t typedStoreOpcode(const model::IRObject* leftType, StoreForm form);

// The rank of one pair: the left value's rank as a store's target (its
// address code, where parameter slots rank behind locals, with its match
// rank), then the right value's. Lowest wins (model/candidate_rank.h).
struct AssignmentPairKey {
    model::CandidateRank left;
    model::CandidateRank right;
    friend auto operator<=>(const AssignmentPairKey&, const AssignmentPairKey&) = default;
};
AssignmentPairKey assignmentPairKey(const model::IRResult& left, const model::IRResult& right);
// The key of a store with no right value (`++` and `--`): its target's rank.
AssignmentPairKey storeTargetKey(const model::IRResult& target);

// The pairs an assignment accepted, by key.
class AssignmentPairs {
public:
    struct Entry {
        size_t index = 0;  // the first pair result with this key
        uint32_t count = 0;
        bool registerLvalue = false;  // stores into a bare register
    };
    enum class Outcome {
        None,            // nothing to choose
        Chosen,          // exactly one pair: it is the value
        ChosenOfSeveral, // the lowest key is one pair of several: warning 128
        BareRegister,    // the chosen pair stores into a register
        Ambiguous,       // the lowest key holds several pairs
    };

    // A later pair with a key seen before only counts.
    void add(const AssignmentPairKey& key, size_t index, bool registerLvalue);
    // The outcome and the pair result it names (the lowest key's first).
    Outcome choose(size_t& index) const;
    size_t pairCount() const { return pairs_; }

private:
    std::map<AssignmentPairKey, Entry> entries_;
    size_t pairs_ = 0;
};

}  // namespace expressions
