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
    // state it had when it was kept: the objects are read in the order they
    // were kept, each one's mark saying whether and how it was written. With `checkAll`, every other object is
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
};

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
