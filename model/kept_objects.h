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
    // Gives every kept object the state it had when it was kept.
    void restore();
    // Lets the objects go: teardown may detach them again.
    void release();
    size_t size() const { return states_.size(); }

private:
    struct State;
    template <typename Visit>
    static void eachField(IRObject& object, State& state, Visit visit);
    static void note(State& state, IRObject& object);
    static void giveBackState(State& state);

    std::vector<std::unique_ptr<State>> states_;
};

// The serial the next object made takes is one past the mark; a process
// that compiles again from its kept objects starts each compilation at the
// mark they were made up to, as a process of its own would.
uint64_t serialMark();
void restartSerialsAt(uint64_t mark);

}  // namespace model
