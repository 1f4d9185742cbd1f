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
    model::Builtin tag;  // its slot in the context's table
    const char* name;
    uint8_t typeCode;
    int8_t numericRank = 0;
};

inline void makeBuiltinClasses(model::BuiltinTypes& table, std::initializer_list<HandMadeClass> rows,
                               std::vector<qestl::SmartPtr>& held) {
    for (const HandMadeClass& row : rows) {
        const qestl::SmartPtr& made = table.set(row.tag, model::makeClass(row.name, table.classType));
        made.as<model::IRObject>()->typeCode = row.typeCode;
        made.as<model::IRObject>()->numericRank = row.numericRank;
        held.push_back(made);
    }
}

// Detaches every held object, so that no cycle between them outlives the
// test.
inline void releaseHeld(std::vector<qestl::SmartPtr>& held) {
    for (qestl::SmartPtr& object : held) object.as<model::cbSmartCore>()->detach();
}

}  // namespace compile_test
