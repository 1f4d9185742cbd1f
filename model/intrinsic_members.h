// Offering "$special/..." functions and reflective constants as lookup
// candidates.
#pragma once

#include <initializer_list>

#include "foundation/smart_ptr.h"
#include "model/ir_object.h"

namespace model {

struct SpecialParameter {
    const char* name;
    qestl::SmartPtr type;
};

// Makes the function, appends it as a candidate and returns it.
qestl::SmartPtr offerSpecial(ModelContext& context, const char* name, const qestl::SmartPtr& returnType,
                             std::initializer_list<SpecialParameter> parameters);

}  // namespace model
