// The scopes around the code of a class, walked outward from the class. A
// class nested in a class is one step inside it; a class made in a method is
// one step inside the method (the frame that made it) and so two inside the
// method's class. At run time `this[n]` is the object n steps out: `C.this`,
// a member of an enclosing class named by its simple name, and a local that
// a class further out captured are all reached through it.
#pragma once

#include <cstdint>

#include "model/ir_object.h"
#include "model/ir_result.h"

namespace model {

// Calls visit(object, steps) for `from` (step 0) and then for each object
// around it, until visit returns false or nothing is around.
template <typename Visit>
void walkOutward(IRObject* from, Visit&& visit) {
    uint32_t steps = 0;
    for (IRObject* at = from; at != nullptr; at = at->ownerObject(), ++steps)
        if (!visit(*at, steps)) return;
}

// The object `steps` out of `this`, of the class `object`: what `C.this`
// names.
IRResult enclosingInstance(IRObject& object, uint32_t steps);

// A member whose lookup made the load that reads it (a field of an
// instance) reads it from `owner`, the value it was reached through.
void readThrough(IRResult& member, const Operand& owner);

// A local of the frame that the class `steps` out captured: the code
// makes that object `this` for as long as it reads its closure's slot,
// and the value is left in register 0. At step 0 the slot is the code's
// own closure's.
void readCaptured(IRResult& local, IRObject& capturing, uint32_t steps);

}  // namespace model
