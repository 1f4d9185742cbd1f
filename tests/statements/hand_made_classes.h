// The builtin classes the compile fixtures stand up by hand: each fixture
// names the few it needs with their type codes and numeric ranks, and
// releases them (and whatever else it held) when it ends.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "model/builtin_types.h"
#include "model/class_object.h"
#include "model/ir_object.h"

namespace compile_test {

struct HandMadeClass {
    qestl::SmartPtr* slot;  // a field of model::builtinTypes()
    const char* name;
    uint8_t typeCode;
    int8_t numericRank = 0;
};

inline void makeBuiltinClasses(std::initializer_list<HandMadeClass> rows, std::vector<qestl::SmartPtr>& held) {
    for (const HandMadeClass& row : rows) {
        *row.slot = model::makeClass(row.name);
        row.slot->as<model::IRObject>()->typeCode = row.typeCode;
        row.slot->as<model::IRObject>()->numericRank = row.numericRank;
        held.push_back(*row.slot);
    }
}

// Detaches every held object, so that no cycle between them outlives the
// test, and empties the builtin slots for the next one.
inline void releaseHeld(std::vector<qestl::SmartPtr>& held) {
    for (qestl::SmartPtr& object : held) object.as<model::cbSmartCore>()->detach();
    model::builtinTypes().clear();
}

}  // namespace compile_test
